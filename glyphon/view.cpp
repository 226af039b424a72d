// IViewObject2: drawing for containers that render the control themselves
// (printing, snapshots, design views).
#include "core/win/com.h"
#include "glyphon/glyphon_ctrl.h"

namespace qex::glyphon {

STDMETHODIMP CGlyphonCtrl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC drawDc,
                                LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!drawDc) return E_INVALIDARG;
    // The picture keeps the control's size; only its origin follows the
    // bounds a container asks for.
    return win::ComGuard([&] {
        OnDraw(drawDc, bounds ? static_cast<int>(bounds->left) : 0, bounds ? static_cast<int>(bounds->top) : 0);
        return S_OK;
    });
}

STDMETHODIMP CGlyphonCtrl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colours) {
    if (colours) *colours = nullptr;
    return S_FALSE;
}

STDMETHODIMP CGlyphonCtrl::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }
STDMETHODIMP CGlyphonCtrl::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP CGlyphonCtrl::SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) {
    viewSink_ = win::ComPtr<IAdviseSink>(sink);
    viewAspects_ = aspects;
    viewAdvf_ = advf;
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) {
    if (aspects) *aspects = viewAspects_;
    if (advf) *advf = viewAdvf_;
    if (sink) {
        *sink = viewSink_.Get();
        if (*sink) (*sink)->AddRef();
    }
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

}  // namespace qex::glyphon
