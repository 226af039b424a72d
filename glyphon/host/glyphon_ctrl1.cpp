#include "glyphon/host/glyphon_ctrl1.h"

#include "glyphon/com_guard.h"
#include "glyphon/com_util.h"
#include "glyphon/glyphon_ids.h"
#include "glyphon/host/ax_host.h"

#include <string>

namespace qex {

namespace {

HRESULT InvokeLookIt(IDispatch* control, const char* ansiBase64) {
    const char* text = ansiBase64 ? ansiBase64 : "";
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 0) return HRESULT_FROM_WIN32(GetLastError());
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n);

    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_BSTR;
    V_BSTR(&arg) = SysAllocStringLen(wide.c_str(), static_cast<UINT>(n - 1));
    if (!V_BSTR(&arg)) return E_OUTOFMEMORY;
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    EXCEPINFO excep = {};
    UINT argErr = 0;
    const HRESULT hr = control->Invoke(glyphon::kDispidLookIt, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                       nullptr, &excep, &argErr);
    VariantClear(&arg);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    return hr;
}

}  // namespace

HRESULT CallLookIt(IDispatch* control, const char* ansiBase64) {
    if (!control) return E_POINTER;
    return glyphon::ComGuard([&] { return InvokeLookIt(control, ansiBase64); });
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
    qex::glyphon::ComPtr<IDispatch> probe;
    if (!wnd || FAILED(qex::AxHostGetControl(wnd, IID_IDispatch, probe.PutVoid()))) return FALSE;
    m_hWnd = wnd;
    return TRUE;
}

void CGlyphonctrl1::LookIt(LPCSTR png) {
    qex::glyphon::ComPtr<IDispatch> control;
    if (FAILED(qex::AxHostGetControl(m_hWnd, IID_IDispatch, control.PutVoid()))) return;
    qex::CallLookIt(control.Get(), png);
}
