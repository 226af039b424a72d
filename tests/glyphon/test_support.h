// Helpers shared by the Glyphon tests on Windows: PNG files made on the
// spot, Base64, the module under test and a recorder for its message boxes.
#pragma once

#include "core/win/win32.h"

#include <functional>
#include <string>
#include <vector>

namespace qex::glyphon::test {

// An 8-bit RGB PNG (stored deflate blocks) with pixel(x, y) as its colour.
std::string MakePng(int width, int height, const std::function<COLORREF(int, int)>& pixel);
std::string SolidPng(int width, int height, COLORREF colour);
// A grey-scale PNG of 1 or 8 bits a pixel, as QR code generators write
// them; dark(x, y) says which pixels are black (the rest are white).
std::string MakeGreyPng(int width, int height, int bits, const std::function<bool(int, int)>& dark);
std::string EncodeBase64(const std::string& bytes);

// Glyphon.ocx next to the test program.
std::wstring OcxPath();
HMODULE LoadOcx();

std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
// %TEMP%\KD_QR_HT.png as the control computes it.
std::string ImageFilePath();

struct RecordedBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

// Replaces the MessageBoxA the module imports with a recorder that
// returns IDOK at once, so tests never block on a modal box.
class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(HMODULE module);
    ~MessageBoxRecorder();
    bool Installed() const { return slot_ != nullptr; }
    std::vector<RecordedBox> Take();

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

// Runs the thread's messages until `done` holds or `ceilingMs` passes.
bool PumpUntil(const std::function<bool()>& done, DWORD ceilingMs = 10000);

}  // namespace qex::glyphon::test
