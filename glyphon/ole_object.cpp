// IOleObject: the control's embedding contract with its container.
#include "core/win/com.h"
#include "glyphon/glyphon_ctrl.h"
#include "glyphon/glyphon_ids.h"
#include "glyphon/module.h"
#include "glyphon/resource.h"
#include "glyphon/verbs.h"

#include <olectl.h>

namespace qex::glyphon {

STDMETHODIMP CGlyphonCtrl::SetClientSite(IOleClientSite* site) {
    site_ = win::ComPtr<IOleClientSite>(site);
    if (!site) {
        inPlaceSite_.Reset();
        events_.Clear();
    }
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    *site = site_.Get();
    if (*site) (*site)->AddRef();
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP CGlyphonCtrl::Close(DWORD) {
    InPlaceDeactivate();
    if (oleAdvise_) oleAdvise_->SendOnClose();
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

STDMETHODIMP CGlyphonCtrl::GetMoniker(DWORD, DWORD, IMoniker** mk) {
    if (mk) *mk = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CGlyphonCtrl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

STDMETHODIMP CGlyphonCtrl::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CGlyphonCtrl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) {
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
        return InPlaceActivate(site, parent, rect, false);
    case OLEIVERB_UIACTIVATE:
        return InPlaceActivate(site, parent, rect, true);
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (m_hWnd) ShowWindow(m_hWnd, SW_HIDE);
        return S_OK;
    case OLEIVERB_PROPERTIES:
        return win::ComGuard([&] { return ShowProperties(parent); });
    default:
        return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
    }
}

STDMETHODIMP CGlyphonCtrl::EnumVerbs(IEnumOLEVERB** verbs) {
    return CreateVerbEnum(verbs);
}

STDMETHODIMP CGlyphonCtrl::Update() { return S_OK; }
STDMETHODIMP CGlyphonCtrl::IsUpToDate() { return S_OK; }

STDMETHODIMP CGlyphonCtrl::GetUserClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = kClsidGlyphon;
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::GetUserType(DWORD form, LPOLESTR* type) {
    if (!type) return E_POINTER;
    *type = nullptr;
    return win::ComGuard([&] {
        // From the module itself, so an unregistered control still has a name.
        const std::wstring name = LoadModuleString(IDS_GLYPHON_TYPENAME);
        if (name.empty()) return OleRegGetUserType(kClsidGlyphon, form, type);
        const size_t bytes = (name.size() + 1) * sizeof(wchar_t);
        *type = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (!*type) return E_OUTOFMEMORY;
        memcpy(*type, name.c_str(), bytes);
        return S_OK;
    });
}

STDMETHODIMP CGlyphonCtrl::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    extent_ = *size;
    if (inPlaceActive_ && inPlaceSite_) {
        // The container owns the position: tell it the size we want and let
        // it answer with SetObjectRects.
        const SIZE px = GetControlSize();
        RECT wanted = posRect_;
        wanted.right = wanted.left + px.cx;
        wanted.bottom = wanted.top + px.cy;
        inPlaceSite_->OnPosRectChange(&wanted);
    }
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::Advise(IAdviseSink* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!oleAdvise_) {
        const HRESULT hr = CreateOleAdviseHolder(oleAdvise_.Put());
        if (FAILED(hr)) return hr;
    }
    return oleAdvise_->Advise(sink, cookie);
}

STDMETHODIMP CGlyphonCtrl::Unadvise(DWORD cookie) {
    return oleAdvise_ ? oleAdvise_->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

STDMETHODIMP CGlyphonCtrl::EnumAdvise(IEnumSTATDATA** advise) {
    if (!advise) return E_POINTER;
    *advise = nullptr;
    return oleAdvise_ ? oleAdvise_->EnumAdvise(advise) : S_OK;
}

STDMETHODIMP CGlyphonCtrl::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (!status) return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? kMiscStatus : 0;
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// Containers that know IQuickActivate hand over their site and sinks in one
// call instead of a dozen.
STDMETHODIMP CGlyphonCtrl::QuickActivate(QACONTAINER* container, QACONTROL* control) {
    if (!container || !control) return E_POINTER;
    if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL)) return E_INVALIDARG;
    control->dwMiscStatus = kMiscStatus;
    control->dwViewStatus = 0;
    control->dwEventCookie = 0;
    control->dwPropNotifyCookie = 0;
    control->dwPointerActivationPolicy = 0;
    if (container->pClientSite) SetClientSite(container->pClientSite);
    if (container->pAdviseSink) SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
    if (container->pUnkEventSink) events_.Advise(container->pUnkEventSink, &control->dwEventCookie);
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::SetContentExtent(LPSIZEL size) { return SetExtent(DVASPECT_CONTENT, size); }

STDMETHODIMP CGlyphonCtrl::GetContentExtent(LPSIZEL size) { return GetExtent(DVASPECT_CONTENT, size); }

HRESULT CGlyphonCtrl::ShowProperties(HWND parent) {
    IUnknown* self = Identity();
    CLSID page = kClsidGlyphonPropPage;
    const std::wstring caption = LoadModuleString(IDS_GLYPHON_TYPENAME);
    return OleCreatePropertyFrame(parent, 0, 0, caption.c_str(), 1, &self, 1, &page,
                                  LOCALE_USER_DEFAULT, 0, nullptr);
}

}  // namespace qex::glyphon
