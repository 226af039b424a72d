#include "glyphon/host/ax_host.h"

#include "core/win/code_page.h"
#include "core/win/com.h"
#include "core/win/owners.h"
#include "glyphon/units.h"

#include <ocidl.h>
#include <oleidl.h>

#include <memory>
#include <new>
#include <utility>

namespace qex {
namespace {

using glyphon::PixelsToHimetric;

constexpr char kSiteProperty[] = "QexAxHostSite";

// Class id from "{...}" text or from a ProgID.
HRESULT ParseClass(const char* text, CLSID* clsid) {
    if (!text || !*text) return E_INVALIDARG;
    const std::wstring wide = win::ToWide(text);
    if (wide.empty()) return E_INVALIDARG;
    return wide[0] == L'{' ? CLSIDFromString(wide.c_str(), clsid) : CLSIDFromProgID(wide.c_str(), clsid);
}

// One hosted control and its site. The host window holds one reference.
class AxSite final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
public:
    explicit AxSite(HWND container) : container_(container) {}

    HRESULT CreateControl(REFCLSID clsid, const RECT& rect, UINT id, DWORD style);
    void Close();
    HWND ControlWindow() const { return controlWnd_; }
    HRESULT QueryControl(REFIID iid, void** out) {
        return object_ ? object_->QueryInterface(iid, out) : E_FAIL;
    }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
            *out = static_cast<IOleClientSite*>(this);
        } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite)) {
            *out = static_cast<IOleInPlaceSite*>(this);
        } else if (IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame)) {
            *out = static_cast<IOleInPlaceFrame*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** mk) override {
        if (mk) *mk = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** c) override {
        if (c) *c = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow (site and frame alike: the dialog)
    STDMETHODIMP GetWindow(HWND* wnd) override {
        if (!wnd) return E_POINTER;
        *wnd = container_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        if (!frame || !doc || !pos || !clip || !info) return E_POINTER;
        *frame = this;
        AddRef();
        *doc = nullptr;
        *pos = rect_;
        *clip = rect_;
        info->fMDIApp = FALSE;
        info->hwndFrame = container_;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    // The control asks for a new rectangle (it resizes itself to its
    // picture); a dialog has no layout to keep, so it always gets it.
    STDMETHODIMP OnPosRectChange(LPCRECT rect) override {
        if (!rect) return E_POINTER;
        rect_ = *rect;
        win::ComPtr<IOleInPlaceObject> inPlace;
        if (SUCCEEDED(object_.As(&inPlace, IID_IOleInPlaceObject))) inPlace->SetObjectRects(&rect_, &rect_);
        return S_OK;
    }

    // IOleInPlaceUIWindow / IOleInPlaceFrame: a dialog has no menus or tools.
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    ~AxSite() { Close(); }

    LONG refs_ = 1;
    HWND container_;
    win::ComPtr<IOleObject> object_;
    HWND controlWnd_ = nullptr;
    RECT rect_ = {0, 0, 0, 0};
};

HRESULT AxSite::CreateControl(REFCLSID clsid, const RECT& rect, UINT id, DWORD style) {
    rect_ = rect;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, object_.PutVoid());
    if (FAILED(hr)) return hr;
    DWORD misc = 0;
    object_->GetMiscStatus(DVASPECT_CONTENT, &misc);
    const bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst) object_->SetClientSite(this);
    win::ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(object_.As(&persist, IID_IPersistStreamInit))) persist->InitNew();
    if (!siteFirst) object_->SetClientSite(this);
    SIZEL extent = PixelsToHimetric(rect.right - rect.left, rect.bottom - rect.top);
    object_->SetExtent(DVASPECT_CONTENT, &extent);
    hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, container_, &rect_);
    if (FAILED(hr)) return hr;

    win::ComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(object_.As(&inPlace, IID_IOleInPlaceObject))) inPlace->GetWindow(&controlWnd_);
    if (controlWnd_) {
        SetWindowLongPtrA(controlWnd_, GWLP_ID, static_cast<LONG_PTR>(id));
        if (style & WS_TABSTOP) {
            SetWindowLongPtrA(controlWnd_, GWL_STYLE, GetWindowLongPtrA(controlWnd_, GWL_STYLE) | WS_TABSTOP);
        }
        SetPropA(controlWnd_, kSiteProperty, static_cast<HANDLE>(static_cast<IOleClientSite*>(this)));
    }
    return S_OK;
}

void AxSite::Close() {
    if (controlWnd_ && IsWindow(controlWnd_)) RemovePropA(controlWnd_, kSiteProperty);
    controlWnd_ = nullptr;
    // Taken out first: closing calls back into the site.
    win::ComPtr<IOleObject> object = std::move(object_);
    if (object) {
        object->Close(OLECLOSE_NOSAVE);
        object->SetClientSite(nullptr);
    }
}

// What a host window keeps, from WM_CREATE to WM_NCDESTROY.
struct HostState {
    win::ComPtr<AxSite> site;
    bool oleInitialised = false;
    // Set once the control's window has taken the item's place.
    bool hosting = false;
};

LRESULT OnCreate(HWND wnd, const CREATESTRUCTA* cs) {
    std::unique_ptr<HostState> owned(new (std::nothrow) HostState());
    if (!owned) return -1;
    // The window holds the state from here on; WM_NCDESTROY, which follows
    // a failed WM_CREATE too, gives it back.
    HostState* state = owned.release();
    SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    const HRESULT ole = OleInitialize(nullptr);
    state->oleInitialised = SUCCEEDED(ole);

    CLSID clsid;
    HWND container = GetParent(wnd);
    if (!container || FAILED(ParseClass(cs->lpszName, &clsid))) return -1;
    state->site = win::ComPtr<AxSite>::Adopt(new (std::nothrow) AxSite(container));
    if (!state->site) return -1;
    const RECT rect = {cs->x, cs->y, cs->x + cs->cx, cs->y + cs->cy};
    const UINT id = static_cast<UINT>(reinterpret_cast<UINT_PTR>(cs->hMenu));
    if (FAILED(state->site->CreateControl(clsid, rect, id, static_cast<DWORD>(cs->style)))) return -1;

    // The control's window is the dialog item from now on; the host steps
    // aside: no id, no size, not in the tab order. Clearing WS_VISIBLE here
    // does not hide it: when the item's style asks for it, CreateWindowEx
    // shows the window after WM_CREATE (a child of a dialog not yet shown
    // just gets the style bit, with no message to refuse it). A visible
    // host of the item's size lies above the control, which clips its
    // siblings, and the control paints nothing on screen. With no size the
    // host covers nothing even when shown; WM_WINDOWPOSCHANGING keeps it so.
    SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    state->hosting = true;
    SetWindowLongPtrA(wnd, GWLP_ID, 0);
    SetWindowLongPtrA(wnd, GWL_STYLE, GetWindowLongPtrA(wnd, GWL_STYLE) & ~(WS_VISIBLE | WS_TABSTOP));
    if (HWND control = state->site->ControlWindow()) {
        SetWindowPos(control, wnd, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    return 0;
}

void OnNcDestroy(HWND wnd) {
    std::unique_ptr<HostState> state(reinterpret_cast<HostState*>(GetWindowLongPtrA(wnd, GWLP_USERDATA)));
    if (!state) return;
    SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
    if (state->site) {
        state->site->Close();
        state->site.Reset();
    }
    // Only after the control is gone: uninitialising may unload its module.
    if (state->oleInitialised) OleUninitialize();
}

LRESULT HostMessage(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate(wnd, reinterpret_cast<const CREATESTRUCTA*>(lp));
    case WM_DESTROY:
        // Close while the dialog still exists, so the control deactivates
        // in a living container.
        if (auto* state = reinterpret_cast<HostState*>(GetWindowLongPtrA(wnd, GWLP_USERDATA))) {
            if (state->site) state->site->Close();
        }
        return 0;
    case WM_WINDOWPOSCHANGING:
        if (auto* state = reinterpret_cast<HostState*>(GetWindowLongPtrA(wnd, GWLP_USERDATA))) {
            if (state->hosting) {
                auto* pos = reinterpret_cast<WINDOWPOS*>(lp);
                pos->flags = (pos->flags | SWP_NOSIZE) & ~SWP_SHOWWINDOW;
            }
        }
        break;
    case WM_NCDESTROY:
        OnNcDestroy(wnd);
        break;
    default:
        break;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

// No exception may unwind through the system's window code: one that gets
// here fails the creation, or leaves the message to the default handling.
LRESULT CALLBACK HostProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    try {
        return HostMessage(wnd, msg, wp, lp);
    } catch (...) {
        return msg == WM_CREATE ? -1 : DefWindowProcA(wnd, msg, wp, lp);
    }
}

AxSite* SiteOf(HWND wnd) {
    if (!wnd) return nullptr;
    char name[32] = {};
    if (GetClassNameA(wnd, name, sizeof(name)) && lstrcmpiA(name, kAxHostClass) == 0) {
        auto* state = reinterpret_cast<HostState*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
        return state ? state->site.Get() : nullptr;
    }
    return static_cast<AxSite*>(static_cast<IOleClientSite*>(GetPropA(wnd, kSiteProperty)));
}

}  // namespace

bool RegisterAxHostClass() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA existing = {};
    if (GetClassInfoA(instance, kAxHostClass, &existing)) return true;
    WNDCLASSA wc = {};
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = HostProc;
    wc.hInstance = instance;
    wc.lpszClassName = kAxHostClass;
    return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HRESULT AxHostGetControl(HWND wnd, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    AxSite* site = SiteOf(wnd);
    return site ? site->QueryControl(iid, out) : E_INVALIDARG;
}

}  // namespace qex
