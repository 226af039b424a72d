// Loading the control's PNG file with GDI+ (flat API) and painting it with
// white as the colour key. Nothing decoded is kept: each call opens the
// file, and the GDI+ image is disposed before the call returns, because
// GDI+ holds the file open while an image lives.
#pragma once

#include "core/win/win32.h"

#include <string>

namespace qex::glyphon {

// One GDI+ start-up for the lifetime of the object; GDI+ counts them.
class GdiplusSession {
public:
    GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    ~GdiplusSession();
    bool Ok() const { return token_ != 0; }

private:
    ULONG_PTR token_ = 0;
};

// Width and height of the image in `path`; false when it is no image the
// decoder knows (or GDI+ is not available).
bool MeasureImage(const std::string& ansiPath, long* width, long* height);

// Copies the whole image onto `dc` at (x, y) stretched to cx x cy, leaving
// out pure white pixels. The alpha channel is ignored. False when the file
// cannot be loaded.
bool DrawImageKeyed(const std::string& ansiPath, HDC dc, int x, int y, int cx, int cy);

}  // namespace qex::glyphon
