// _DGlyphon through IDispatch, and the type and connection information
// containers ask for.
#include "core/win/code_page.h"
#include "core/win/com.h"
#include "glyphon/glyphon_ctrl.h"
#include "glyphon/glyphon_ids.h"
#include "glyphon/module.h"

namespace qex::glyphon {
namespace {

std::string ToAnsi(BSTR s) {
    return win::FromWide(std::wstring_view(s ? s : L"", SysStringLen(s)));
}

// Fetches the one positional argument as `vt`.
HRESULT SingleArgument(DISPPARAMS* params, VARTYPE vt, VARIANT* out, UINT* argErr) {
    if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    VariantInit(out);
    const HRESULT hr = VariantChangeType(out, &params->rgvarg[0], 0, vt);
    if (FAILED(hr)) {
        if (argErr) *argErr = 0;
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

void FillException(EXCEPINFO* excep, HRESULT error) {
    if (!excep) return;
    *excep = EXCEPINFO();
    excep->scode = error;
    excep->bstrSource = SysAllocString(L"GLYPHON.GlyphonCtrl.1");
}

}  // namespace

STDMETHODIMP CGlyphonCtrl::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::GetTypeInfo(UINT index, LCID, ITypeInfo** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    if (!typeInfo_) {
        const HRESULT hr = win::ComGuard([&] { return LoadTypeInfo(kDiidDGlyphon, typeInfo_.Put()); });
        if (FAILED(hr)) return hr;
    }
    *out = typeInfo_.Get();
    (*out)->AddRef();
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    win::ComPtr<ITypeInfo> info;
    const HRESULT hr = GetTypeInfo(0, lcid, info.Put());
    if (FAILED(hr)) return hr;
    return info->GetIDsOfNames(names, count, ids);
}

STDMETHODIMP CGlyphonCtrl::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    return win::ComGuard([&] { return InvokeMember(id, flags, params, result, excep, argErr); });
}

HRESULT CGlyphonCtrl::InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excep, UINT* argErr) {
    if (id == kDispidDisplay) {
        if (flags & DISPATCH_PROPERTYGET) {
            if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
            if (result) {
                VariantInit(result);
                V_VT(result) = VT_I4;
                V_I4(result) = GetDisplay();
            }
            return S_OK;
        }
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            VARIANT value;
            const HRESULT hr = SingleArgument(params, VT_I4, &value, argErr);
            if (FAILED(hr)) return hr;
            SetDisplay(V_I4(&value));
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }
    if (id == kDispidLookIt) {
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        VARIANT text;
        const HRESULT hr = SingleArgument(params, VT_BSTR, &text, argErr);
        if (FAILED(hr)) return hr;
        std::string png;
        const HRESULT converted = win::ComGuard([&] {
            png = ToAnsi(V_BSTR(&text));
            return S_OK;
        });
        VariantClear(&text);
        if (FAILED(converted)) return converted;
        if (result) VariantInit(result);
        const HRESULT call = LookIt(png);
        if (FAILED(call)) {
            FillException(excep, call);
            return DISP_E_EXCEPTION;
        }
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

STDMETHODIMP CGlyphonCtrl::GetClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    return win::ComGuard([&] { return LoadTypeInfo(kClsidGlyphon, info); });
}

STDMETHODIMP CGlyphonCtrl::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = kDiidDGlyphonEvents;
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::EnumConnectionPoints(IEnumConnectionPoints** points) {
    return CreateSingleConnectionPointEnum(&events_, points);
}

STDMETHODIMP CGlyphonCtrl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (!IsEqualIID(iid, kDiidDGlyphonEvents)) return CONNECT_E_NOCONNECTION;
    *point = &events_;
    events_.AddRef();
    return S_OK;
}

STDMETHODIMP CGlyphonCtrl::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems) {
        pages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    pages->cElems = 1;
    pages->pElems[0] = kClsidGlyphonPropPage;
    return S_OK;
}

}  // namespace qex::glyphon
