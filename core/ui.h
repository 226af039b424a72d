// Small interfaces through which the portable logic reaches the main window.
// The Windows adapters implement them on CQEXTivaraDlg; unit tests use fakes.
// All texts are ANSI strings in code page 936, as the window shows them.
#pragma once

#include <string>

namespace qex {

// The main window's status list: lines are only ever appended at the end.
class IStatusSink {
public:
    virtual ~IStatusSink() = default;
    virtual void AppendStatus(const std::string& line) = 0;
};

// Message boxes. `type` takes the Win32 MB_* bits (the values are fixed by
// the platform, so the portable code names them below). Returns the button
// id, as MessageBox does.
class IMessageBoxes {
public:
    virtual ~IMessageBoxes() = default;
    virtual int ShowMessage(const std::string& text, const std::string& caption, unsigned type) = 0;
};

// MB_* values used by the portable code (identical to winuser.h).
enum : unsigned {
    kMbOk = 0x00000000u,
    kMbIconWarning = 0x00000030u,  // MB_ICONEXCLAMATION / MB_ICONWARNING
    kMbIconInformation = 0x00000040u,
};

// Button ids returned by dialogs and message boxes (identical to winuser.h).
enum : int { kIdOk = 1, kIdCancel = 2 };

// What the key operations need of the main window: message boxes owned by
// it and its status list.
class IKeyUi : public IStatusSink, public IMessageBoxes {};

// A dialog run modally by its owner; returns the button id that ended it.
// Inputs and outputs are public fields set before and read after the run.
class IModalDialog {
public:
    virtual ~IModalDialog() = default;
    virtual int DoModal() = 0;
};

// Tray icon modes of the main window (SetTrayState).
enum : int {
    kTrayLoggedOut = 0,  // red light, "not logged in"
    kTrayLoggedIn = 1,   // green light, "logged in"
    kTrayNotice = 2,     // any other value: append the notice, icon unchanged
};

// The main window as the rest of the client drives it. Safe to call from
// any thread; calls that reach the window wait for the main thread.
class IMainWindow : public IKeyUi {
public:
    virtual std::string GetTitle() = 0;
    virtual void SetTitle(const std::string& title) = 0;
    virtual void ShowMainWindow(bool show) = 0;
    virtual void EnableLogin(bool enable) = 0;
    virtual void ShowHelpLink(bool show) = 0;
    virtual void SetTrayState(int mode) = 0;
};

}  // namespace qex
