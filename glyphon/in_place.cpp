// In-place activation: the control's own child window inside the
// container's window, and the small interfaces that go with it.
#include "core/win/com.h"
#include "glyphon/glyphon_ctrl.h"
#include "glyphon/module.h"
#include "glyphon/units.h"

namespace qex::glyphon {
namespace {

constexpr wchar_t kWindowClass[] = L"GlyphonCtrlWindow";

bool RegisterWindowClass(WNDPROC proc) {
    WNDCLASSW existing = {};
    if (GetClassInfoW(ModuleInstance(), kWindowClass, &existing)) return true;
    WNDCLASSW wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = ModuleInstance();
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    // What shows through the image's white pixels: the dialog's face colour.
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

HRESULT CGlyphonCtrl::InPlaceActivate(IOleClientSite* site, HWND parentHint, LPCRECT rectHint,
                                      bool uiActivate) {
    if (!inPlaceActive_) {
        if (site && !site_) site_ = win::ComPtr<IOleClientSite>(site);
        if (!site_) return E_UNEXPECTED;
        win::ComPtr<IOleInPlaceSite> ips;
        if (FAILED(site_.As(&ips, IID_IOleInPlaceSite))) return E_NOINTERFACE;
        if (ips->CanInPlaceActivate() != S_OK) return E_FAIL;
        ips->OnInPlaceActivate();

        HWND parent = nullptr;
        if (FAILED(ips->GetWindow(&parent)) || !parent) parent = parentHint;
        win::ComPtr<IOleInPlaceFrame> frame;
        win::ComPtr<IOleInPlaceUIWindow> doc;
        RECT pos = {};
        RECT clip = {};
        OLEINPLACEFRAMEINFO info = {};
        info.cb = sizeof(info);
        if (FAILED(ips->GetWindowContext(frame.Put(), doc.Put(), &pos, &clip, &info))) {
            if (!rectHint) {
                ips->OnInPlaceDeactivate();
                return E_FAIL;
            }
            pos = *rectHint;
        }
        const HRESULT hr = CreateControlWindow(parent, pos);
        if (FAILED(hr)) {
            ips->OnInPlaceDeactivate();
            return hr;
        }
        inPlaceSite_ = ips;
        inPlaceActive_ = true;
        site_->ShowObject();
    } else if (m_hWnd && !IsWindowVisible(m_hWnd)) {
        ShowWindow(m_hWnd, SW_SHOWNA);
    }
    if (uiActivate && !uiActive_ && inPlaceSite_) {
        uiActive_ = true;
        inPlaceSite_->OnUIActivate();
    }
    return S_OK;
}

HRESULT CGlyphonCtrl::CreateControlWindow(HWND parent, const RECT& pos) {
    if (!RegisterWindowClass(&CGlyphonCtrl::WindowProc)) return HRESULT_FROM_WIN32(GetLastError());
    HWND wnd = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                               pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top, parent,
                               nullptr, ModuleInstance(), this);
    if (!wnd) return HRESULT_FROM_WIN32(GetLastError());
    m_hWnd = wnd;
    posRect_ = pos;
    return S_OK;
}

LRESULT CALLBACK CGlyphonCtrl::WindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<CGlyphonCtrl*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (self) {
        switch (msg) {
        case WM_PAINT:
            self->OnPaint();
            return 0;
        case WM_DESTROY:
            // The container may destroy its window (and ours with it) before
            // it deactivates us.
            SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
            self->m_hWnd = nullptr;
            break;
        default:
            break;
        }
    }
    return DefWindowProcW(wnd, msg, wp, lp);
}

void CGlyphonCtrl::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    win::ComGuard([&] {
        OnDraw(dc, 0, 0);
        return S_OK;
    });
    EndPaint(m_hWnd, &ps);
}

STDMETHODIMP CGlyphonCtrl::GetWindow(HWND* wnd) {
    if (!wnd) return E_POINTER;
    *wnd = m_hWnd;
    return m_hWnd ? S_OK : E_FAIL;
}

STDMETHODIMP CGlyphonCtrl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP CGlyphonCtrl::InPlaceDeactivate() {
    if (!inPlaceActive_) return S_OK;
    UIDeactivate();
    inPlaceActive_ = false;
    if (m_hWnd) {
        HWND wnd = m_hWnd;
        m_hWnd = nullptr;
        SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
        DestroyWindow(wnd);
    }
    win::ComPtr<IOleInPlaceSite> ips = inPlaceSite_;
    inPlaceSite_.Reset();
    if (ips) ips->OnInPlaceDeactivate();
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::UIDeactivate() {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::SetObjectRects(LPCRECT pos, LPCRECT) {
    if (!pos) return E_POINTER;
    posRect_ = *pos;
    const int cx = pos->right - pos->left;
    const int cy = pos->bottom - pos->top;
    // The container's rectangle is the control's size from now on.
    extent_ = PixelsToHimetric(cx, cy);
    if (m_hWnd) MoveWindow(m_hWnd, pos->left, pos->top, cx, cy, TRUE);
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::ReactivateAndUndo() { return E_NOTIMPL; }
STDMETHODIMP CGlyphonCtrl::TranslateAccelerator(LPMSG) { return S_FALSE; }
STDMETHODIMP CGlyphonCtrl::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP CGlyphonCtrl::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP CGlyphonCtrl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
STDMETHODIMP CGlyphonCtrl::EnableModeless(BOOL) { return S_OK; }

STDMETHODIMP CGlyphonCtrl::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    // No mnemonics, no accelerators.
    info->cb = sizeof(*info);
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::OnMnemonic(MSG*) { return E_NOTIMPL; }
STDMETHODIMP CGlyphonCtrl::OnAmbientPropertyChange(DISPID) { return S_OK; }
STDMETHODIMP CGlyphonCtrl::FreezeEvents(BOOL) { return S_OK; }

}  // namespace qex::glyphon
