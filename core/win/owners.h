// Small owners for the Windows resources the client, the control and the
// simulators hold: each gives its resource back exactly once, on every path
// (the COM pointers and strings are in core/win/com.h).
#pragma once

#include "core/unique_resource.h"
#include "core/win/win32.h"

namespace qex::win {

struct HandleTraits {  // kernel objects: threads, processes, mutexes, events
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
struct FileTraits {  // CreateFile's handles, invalid as INVALID_HANDLE_VALUE
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
struct FindTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::FindClose(h); }
};
struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::RegCloseKey(h); }
};
template <class H>
struct GdiTraits {  // fonts, bitmaps, brushes
    using Handle = H;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DeleteObject(h); }
};
struct DcTraits {  // memory device contexts (CreateCompatibleDC)
    using Handle = HDC;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DeleteDC(h); }
};
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::FreeLibrary(h); }
};
struct GlobalTraits {
    using Handle = HGLOBAL;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::GlobalFree(h); }
};

using UniqueHandle = UniqueResource<HandleTraits>;
using UniqueFile = UniqueResource<FileTraits>;
using UniqueFind = UniqueResource<FindTraits>;
using UniqueRegKey = UniqueResource<RegKeyTraits>;
template <class H>
using UniqueGdiObject = UniqueResource<GdiTraits<H>>;
using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniqueDc = UniqueResource<DcTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueGlobal = UniqueResource<GlobalTraits>;

// The clipboard, open for one window while this lives.
class ClipboardOpen {
public:
    explicit ClipboardOpen(HWND owner) : open_(::OpenClipboard(owner) != FALSE) {}
    ~ClipboardOpen() { Close(); }
    ClipboardOpen(const ClipboardOpen&) = delete;
    ClipboardOpen& operator=(const ClipboardOpen&) = delete;
    bool IsOpen() const { return open_; }
    // Closed before the scope ends (not held while the user reads a message).
    void Close() {
        if (open_) ::CloseClipboard();
        open_ = false;
    }

private:
    bool open_;
};

// A memory device context compatible with another, with one object
// selected into it until it goes.
class MemoryDc {
public:
    explicit MemoryDc(HDC compatible) : dc_(::CreateCompatibleDC(compatible)) {}
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    ~MemoryDc() {
        if (old_) ::SelectObject(dc_.Get(), old_);
    }
    HDC Get() const { return dc_.Get(); }
    void Select(HGDIOBJ object) {
        const HGDIOBJ previous = ::SelectObject(dc_.Get(), object);
        if (!old_) old_ = previous;
    }

private:
    UniqueDc dc_;
    HGDIOBJ old_ = nullptr;
};

// A device context of a window (or the screen, for null), released again.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

}  // namespace qex::win
