// CGlyphonctrl1: the client's wrapper of the Glyphon control, and the one
// call that crosses to it. The handwriting dialog's template places the
// control through the host window class (ax_host.h):
//   CONTROL "{60F0B6B1-1AD2-482C-909E-113D0D771BE3}", 1003, "QexAxHost",
//           WS_VISIBLE | WS_TABSTOP, 29, 34, 100, 100
// and binds it in WM_INITDIALOG with m_ctrlGlyphon.Attach(dialog, 1003).
#pragma once

#include "core/win/win32.h"
#include <oaidl.h>

namespace qex {

// Calls LookIt (dispatch id 2) on `control` with narrow text, converted to
// a BSTR with the system code page. The control's errors are message boxes
// of its own; the result says only whether the call reached it.
HRESULT CallLookIt(IDispatch* control, const char* ansiBase64);

}  // namespace qex

class CGlyphonctrl1 {
public:
    CGlyphonctrl1() = default;
    CGlyphonctrl1(const CGlyphonctrl1&) = delete;
    CGlyphonctrl1& operator=(const CGlyphonctrl1&) = delete;

    static CLSID GetClsid();

    // Places a new control by code (the dialog takes it from its template
    // instead). `className` is not used: the class id decides.
    BOOL Create(LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, HWND parent, UINT id);

    // Binds the wrapper to the control that dialog item `id` hosts.
    BOOL Attach(HWND dialog, int id);

    HWND GetSafeHwnd() const { return m_hWnd; }

    // The control's method LookIt. Returns nothing, as the method does.
    void LookIt(LPCSTR png);

private:
    HWND m_hWnd = nullptr;
};
