#include "glyphon/image.h"

#include "core/win/code_page.h"
#include "core/win/com.h"
#include "core/win/owners.h"

#include <cstring>
#include <vector>

// The few GDI+ flat functions the control uses, declared here rather than
// through <gdiplus.h>, whose C++ wrappers need the min/max macros that
// NOMINMAX removes.
extern "C" {
struct GpImage;
typedef int GpStatus;
struct GdiplusStartupInputFlat {
    UINT32 GdiplusVersion;
    void* DebugEventCallback;
    BOOL SuppressBackgroundThread;
    BOOL SuppressExternalCodecs;
};
struct GpRectFlat {
    INT X, Y, Width, Height;
};
struct GpBitmapDataFlat {
    UINT Width;
    UINT Height;
    INT Stride;
    INT PixelFormat;
    void* Scan0;
    UINT_PTR Reserved;
};
GpStatus WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInputFlat* input, void* output);
void WINAPI GdiplusShutdown(ULONG_PTR token);
GpStatus WINAPI GdipCreateBitmapFromFile(const WCHAR* file, GpImage** bitmap);
GpStatus WINAPI GdipGetImageWidth(GpImage* image, UINT* width);
GpStatus WINAPI GdipGetImageHeight(GpImage* image, UINT* height);
GpStatus WINAPI GdipBitmapLockBits(GpImage* bitmap, const GpRectFlat* rect, UINT flags, INT format,
                                   GpBitmapDataFlat* data);
GpStatus WINAPI GdipBitmapUnlockBits(GpImage* bitmap, GpBitmapDataFlat* data);
GpStatus WINAPI GdipDisposeImage(GpImage* image);
}

namespace qex::glyphon {
namespace {

constexpr GpStatus kOk = 0;
constexpr UINT kLockRead = 1;                 // ImageLockModeRead
constexpr INT kFormat32bppArgb = 0x0026200A;  // PixelFormat32bppARGB
constexpr COLORREF kColourKey = RGB(255, 255, 255);

// A GDI+ image loaded from a file, disposed (and the file closed) with it.
class LoadedImage {
public:
    explicit LoadedImage(const std::string& ansiPath) {
        const std::wstring path = win::ToWide(ansiPath);
        if (path.empty() || GdipCreateBitmapFromFile(path.c_str(), &image_) != kOk) image_ = nullptr;
        if (image_ && (GdipGetImageWidth(image_, &width_) != kOk ||
                       GdipGetImageHeight(image_, &height_) != kOk)) {
            Dispose();
        }
    }
    LoadedImage(const LoadedImage&) = delete;
    LoadedImage& operator=(const LoadedImage&) = delete;
    ~LoadedImage() { Dispose(); }

    bool Ok() const { return image_ != nullptr; }
    UINT Width() const { return width_; }
    UINT Height() const { return height_; }

    // The pixels as a top-down 32-bit DIB with the alpha byte cleared, so
    // GDI copies them as plain colours.
    HBITMAP ToOpaqueDib(HDC reference) {
        if (!image_ || width_ == 0 || height_ == 0) return nullptr;
        GpRectFlat rect = {0, 0, static_cast<INT>(width_), static_cast<INT>(height_)};
        GpBitmapDataFlat data = {};
        if (GdipBitmapLockBits(image_, &rect, kLockRead, kFormat32bppArgb, &data) != kOk) return nullptr;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = static_cast<LONG>(width_);
        info.bmiHeader.biHeight = -static_cast<LONG>(height_);
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP dib = CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (dib && bits) {
            const size_t rowBytes = static_cast<size_t>(width_) * 4;
            for (UINT y = 0; y < height_; ++y) {
                const BYTE* src = static_cast<const BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
                BYTE* dst = static_cast<BYTE*>(bits) + y * rowBytes;
                std::memcpy(dst, src, rowBytes);
                for (UINT x = 0; x < width_; ++x) dst[x * 4 + 3] = 0;
            }
            GdiFlush();
        }
        GdipBitmapUnlockBits(image_, &data);
        return dib;
    }

private:
    void Dispose() {
        if (image_) GdipDisposeImage(image_);
        image_ = nullptr;
    }

    GpImage* image_ = nullptr;
    UINT width_ = 0;
    UINT height_ = 0;
};

}  // namespace

GdiplusSession::GdiplusSession() {
    GdiplusStartupInputFlat input = {1, nullptr, FALSE, FALSE};
    if (GdiplusStartup(&token_, &input, nullptr) != kOk) token_ = 0;
}

GdiplusSession::~GdiplusSession() {
    if (token_) GdiplusShutdown(token_);
}

bool MeasureImage(const std::string& ansiPath, long* width, long* height) {
    LoadedImage image(ansiPath);
    if (!image.Ok()) return false;
    *width = static_cast<long>(image.Width());
    *height = static_cast<long>(image.Height());
    return true;
}

bool DrawImageKeyed(const std::string& ansiPath, HDC dc, int x, int y, int cx, int cy) {
    UINT width = 0;
    UINT height = 0;
    HBITMAP converted = nullptr;
    {
        // Disposed at the end of this block: the file is closed before
        // anything is painted.
        LoadedImage image(ansiPath);
        if (!image.Ok()) return false;
        width = image.Width();
        height = image.Height();
        converted = image.ToOpaqueDib(dc);
    }
    win::UniqueGdiObject<HBITMAP> dib(converted);
    if (!dib.Get()) return false;
    if (cx <= 0 || cy <= 0) return true;  // nothing visible to paint
    win::MemoryDc source(dc);
    source.Select(dib.Get());
    TransparentBlt(dc, x, y, cx, cy, source.Get(), 0, 0, static_cast<int>(width),
                   static_cast<int>(height), kColourKey);
    return true;
}

}  // namespace qex::glyphon
