// HIMETRIC (0.01 mm), the unit of OLE extents, and screen pixels.
#pragma once

#include "core/win/owners.h"

namespace qex::glyphon {

inline SIZE ScreenDpi() {
    SIZE dpi = {96, 96};
    const win::WindowDc screen(nullptr);
    if (screen.Get()) {
        dpi.cx = GetDeviceCaps(screen.Get(), LOGPIXELSX);
        dpi.cy = GetDeviceCaps(screen.Get(), LOGPIXELSY);
    }
    if (dpi.cx <= 0) dpi.cx = 96;
    if (dpi.cy <= 0) dpi.cy = 96;
    return dpi;
}

inline SIZEL PixelsToHimetric(int cx, int cy) {
    const SIZE dpi = ScreenDpi();
    SIZEL out = {MulDiv(cx, 2540, dpi.cx), MulDiv(cy, 2540, dpi.cy)};
    return out;
}

inline SIZE HimetricToPixels(const SIZEL& himetric) {
    const SIZE dpi = ScreenDpi();
    SIZE out = {MulDiv(himetric.cx, dpi.cx, 2540), MulDiv(himetric.cy, dpi.cy, 2540)};
    return out;
}

}  // namespace qex::glyphon
