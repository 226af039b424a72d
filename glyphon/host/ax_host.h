// A small ActiveX container for dialogs: IOleClientSite, IOleInPlaceSite
// and IOleInPlaceFrame, enough for windowed controls.
//
// A dialog template places a control through the host window class:
//   CONTROL "{60F0B6B1-1AD2-482C-909E-113D0D771BE3}", 1003, "QexAxHost",
//           WS_VISIBLE | WS_TABSTOP, 29, 34, 100, 100
// When the dialog creates that item, the host creates the control named by
// the item's text (class id or ProgID), activates it in place as a child of
// the dialog at the item's rectangle, and gives the control's own window
// the item's id, so GetDlgItem(dialog, 1003) is the control. The host item
// itself stays as a child without id and without size (so it never covers
// the control, whether or not the dialog shows it); it owns the site and
// closes the control when the dialog goes away. If the control cannot be
// created, the item fails and with it the dialog (DialogBox returns -1).
//
// The host initialises OLE on the thread that creates it (balanced when it
// is destroyed), so a dialog may host controls on any thread.
#pragma once

#include "core/win/win32.h"
#include <oaidl.h>

namespace qex {

inline constexpr char kAxHostClass[] = "QexAxHost";

// Registers the host window class (process-wide, for every module's
// templates). Call once before the first dialog that hosts a control;
// calling again is harmless.
bool RegisterAxHostClass();

// The hosted control behind `wnd`, which may be the control's window (the
// dialog item) or the host window. E_INVALIDARG when `wnd` hosts nothing.
HRESULT AxHostGetControl(HWND wnd, REFIID iid, void** out);

}  // namespace qex
