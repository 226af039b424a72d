#include "glyphon/glyphon_ctrl.h"

#include "core/texts.h"
#include "glyphon/glyphon_ids.h"
#include "glyphon/image_rules.h"
#include "glyphon/module.h"
#include "glyphon/texts.h"
#include "glyphon/units.h"

#include <new>
#include <vector>

namespace qex::glyphon {

HRESULT CGlyphonCtrl::Create(REFIID iid, void** out) {
    // Born with one reference, which the owner gives back after the query.
    const auto ctrl = win::ComPtr<CGlyphonCtrl>::Adopt(new (std::nothrow) CGlyphonCtrl());
    if (!ctrl) return E_OUTOFMEMORY;
    return ctrl->QueryInterface(iid, out);
}

CGlyphonCtrl::CGlyphonCtrl() : events_(Identity()) {
    ModuleAddObject();
    // A new control is 100 x 100 pixels until its container sizes it.
    extent_ = PixelsToHimetric(100, 100);
}

CGlyphonCtrl::~CGlyphonCtrl() {
    if (m_hWnd) {
        SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }
    // The file is ours; whether its deletion succeeds is nobody's concern.
    if (!m_strImageFile.empty()) DeleteFileA(m_strImageFile.c_str());
    ModuleReleaseObject();
}

STDMETHODIMP CGlyphonCtrl::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
        *out = Identity();
    } else if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kDiidDGlyphon)) {
        *out = static_cast<IDispatch*>(this);
    } else if (IsEqualIID(iid, IID_IOleObject)) {
        *out = static_cast<IOleObject*>(this);
    } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceObject)) {
        *out = static_cast<IOleInPlaceObject*>(this);
    } else if (IsEqualIID(iid, IID_IOleInPlaceActiveObject)) {
        *out = static_cast<IOleInPlaceActiveObject*>(this);
    } else if (IsEqualIID(iid, IID_IOleControl)) {
        *out = static_cast<IOleControl*>(this);
    } else if (IsEqualIID(iid, IID_IViewObject) || IsEqualIID(iid, IID_IViewObject2)) {
        *out = static_cast<IViewObject2*>(this);
    } else if (IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IPersistStreamInit)) {
        *out = static_cast<IPersistStreamInit*>(this);
    } else if (IsEqualIID(iid, IID_IPersistStream)) {
        // IPersistStreamInit extends IPersistStream's vtable by InitNew only.
        *out = static_cast<IPersistStreamInit*>(this);
    } else if (IsEqualIID(iid, IID_IPersistPropertyBag)) {
        *out = static_cast<IPersistPropertyBag*>(this);
    } else if (IsEqualIID(iid, IID_IPersistStorage)) {
        *out = static_cast<IPersistStorage*>(this);
    } else if (IsEqualIID(iid, IID_IProvideClassInfo) || IsEqualIID(iid, IID_IProvideClassInfo2)) {
        *out = static_cast<IProvideClassInfo2*>(this);
    } else if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
        *out = static_cast<IConnectionPointContainer*>(this);
    } else if (IsEqualIID(iid, IID_ISpecifyPropertyPages)) {
        *out = static_cast<ISpecifyPropertyPages*>(this);
    } else if (IsEqualIID(iid, IID_IQuickActivate)) {
        *out = static_cast<IQuickActivate*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CGlyphonCtrl::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

STDMETHODIMP_(ULONG) CGlyphonCtrl::Release() {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

void CGlyphonCtrl::SetDisplay(long value) {
    // Takes effect at the next paint; the container decides when that is.
    m_Display = value;
    SetModifiedFlag();
}

HRESULT CGlyphonCtrl::LookIt(const std::string& png) {
    m_strPng = png;
    const size_t n = m_strPng.size();
    if (n == 0) return S_OK;

    std::vector<unsigned char> bytes(n);
    size_t decoded = 0;
    if (!DecodeBase64Lenient(m_strPng.data(), n, bytes.data(), bytes.size(), &decoded)) {
        MessageBoxA(m_hWnd, text::kDecodeError, qex::text::kSealCaption, MB_OK | MB_ICONINFORMATION);
        return S_OK;
    }
    bytes.resize(decoded);

    const HRESULT written = WriteImageFile(bytes);
    if (written == S_FALSE) return S_OK;  // reported to the user already
    if (FAILED(written)) return written;
    m_Display = 1;

    long width = 0;
    long height = 0;
    if (!MeasureImage(m_strImageFile, &width, &height)) return S_OK;
    PlaceForImage(FitImage(width, height));
    if (viewSink_) viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
    return S_OK;
}

HRESULT CGlyphonCtrl::WriteImageFile(const std::vector<unsigned char>& bytes) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    m_strImageFile = std::string(folder) + text::kImageFileName;
    DeleteFileA(m_strImageFile.c_str());

    win::UniqueFile file(CreateFileA(m_strImageFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        MessageBoxA(m_hWnd, text::kFileError, qex::text::kSealCaption, MB_OK | MB_ICONINFORMATION);
        m_strImageFile.clear();
        return S_FALSE;
    }
    DWORD done = 0;
    const DWORD size = static_cast<DWORD>(bytes.size());
    DWORD error = 0;
    if (size > 0 && !WriteFile(file.Get(), bytes.data(), size, &done, nullptr)) {
        error = GetLastError();
    } else if (done != size) {
        error = ERROR_HANDLE_DISK_FULL;
    }
    // Closed here rather than by the owner: a close can fail too (the data
    // not written after all), and that must be heard of.
    if (!CloseHandle(file.Detach()) && error == 0) error = GetLastError();
    // The caller hears of a failed write; the path stays set, so the
    // destructor still removes what was written.
    return error == 0 ? S_OK : HRESULT_FROM_WIN32(error);
}

void CGlyphonCtrl::PlaceForImage(const PixelSize& fit) {
    SetControlSize(static_cast<int>(fit.cx), static_cast<int>(fit.cy));
    if (!m_hWnd) return;

    RECT outer = {};
    if (HWND parent = GetParent(m_hWnd)) GetWindowRect(parent, &outer);
    // Centred for the size the window is about to get. A container that
    // honours the size request has already given it; one that ignores it
    // (Wine's ATL host does) would otherwise have us centred for the old
    // size.
    const long x = CentreOffset(outer.right - outer.left, fit.cx);
    const long y = CentreOffset(outer.bottom - outer.top, fit.cy);
    MoveWindow(m_hWnd, static_cast<int>(x), static_cast<int>(y), static_cast<int>(fit.cx),
               static_cast<int>(fit.cy), TRUE);
    // Tell the container where we went, so its record of our rectangle (and
    // any later SetObjectRects) agrees with the window.
    const RECT moved = {static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x + fit.cx),
                        static_cast<LONG>(y + fit.cy)};
    posRect_ = moved;
    if (inPlaceSite_) inPlaceSite_->OnPosRectChange(&moved);
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

SIZE CGlyphonCtrl::GetControlSize() const {
    return HimetricToPixels(extent_);
}

void CGlyphonCtrl::SetControlSize(int cx, int cy) {
    SIZEL himetric = PixelsToHimetric(cx, cy);
    SetExtent(DVASPECT_CONTENT, &himetric);
}

void CGlyphonCtrl::OnDraw(HDC dc, int x, int y) {
    if (!dc || m_Display == 0 || m_strImageFile.empty()) return;
    const SIZE size = GetControlSize();
    DrawImageKeyed(m_strImageFile, dc, x, y, size.cx, size.cy);
}

}  // namespace qex::glyphon
