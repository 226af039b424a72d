#include "glyphon/host/glyphon_ctrl1.h"

#include "core/win/code_page.h"
#include "core/win/com.h"
#include "core/win/owners.h"
#include "glyphon/glyphon_ids.h"
#include "glyphon/host/ax_host.h"

#include <string>

namespace qex {

namespace {

HRESULT InvokeLookIt(IDispatch* control, const char* ansiBase64) {
    const std::wstring wide = win::ToWide(ansiBase64 ? ansiBase64 : "");

    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_BSTR;
    V_BSTR(&arg) = SysAllocStringLen(wide.c_str(), static_cast<UINT>(wide.size()));
    if (!V_BSTR(&arg)) return E_OUTOFMEMORY;
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    win::ExcepInfo excep;
    UINT argErr = 0;
    const HRESULT hr = control->Invoke(glyphon::kDispidLookIt, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                       nullptr, &excep, &argErr);
    VariantClear(&arg);
    return hr;
}

}  // namespace

HRESULT CallLookIt(IDispatch* control, const char* ansiBase64) {
    if (!control) return E_POINTER;
    return win::ComGuard([&] { return InvokeLookIt(control, ansiBase64); });
}

}  // namespace qex

CLSID CGlyphonctrl1::GetClsid() { return qex::glyphon::kClsidGlyphon; }

BOOL CGlyphonctrl1::Create(LPCSTR, LPCSTR windowName, DWORD style, const RECT& rect, HWND parent, UINT id) {
    if (!qex::RegisterAxHostClass()) return FALSE;
    HWND host = CreateWindowExA(0, qex::kAxHostClass, qex::glyphon::kClsidGlyphonText, style | WS_CHILD, rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, parent,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleA(nullptr),
                                nullptr);
    if (!host) return FALSE;
    if (!Attach(parent, static_cast<int>(id))) {
        DestroyWindow(host);
        return FALSE;
    }
    if (windowName) SetWindowTextA(m_hWnd, windowName);
    return TRUE;
}

BOOL CGlyphonctrl1::Attach(HWND dialog, int id) {
    HWND wnd = GetDlgItem(dialog, id);
    qex::win::ComPtr<IDispatch> probe;
    if (!wnd || FAILED(qex::AxHostGetControl(wnd, IID_IDispatch, probe.PutVoid()))) return FALSE;
    m_hWnd = wnd;
    return TRUE;
}

void CGlyphonctrl1::LookIt(LPCSTR png) {
    qex::win::ComPtr<IDispatch> control;
    if (FAILED(qex::AxHostGetControl(m_hWnd, IID_IDispatch, control.PutVoid()))) return;
    qex::CallLookIt(control.Get(), png);
}
