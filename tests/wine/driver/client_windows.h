// Looking at the client's windows from another process: the main window, its
// controls, its status list and the message boxes around it. Everything here
// only reads, or posts, so a busy or hung client cannot hang the driver.
#pragma once

#include "core/win/win32.h"

#include <string>
#include <vector>

namespace qexdrive {

// How long one cross-process message may take before the read counts as
// failed (the client's main thread may be busy, e.g. waiting for a browser).
constexpr UINT kSendTimeoutMs = 3000;

// Only windows of processes started from this program file (a base name
// such as "QEXTivara.exe", compared without regard to case) count; other
// programs in the same prefix (unit tests that run the dialog in-process)
// stay out of the way. Empty: every process counts.
void SetProgramFilter(const std::wstring& exeName);

// The client's main window: a dialog whose title says "当前状态".
std::vector<HWND> FindMainWindows();
HWND FindMainWindow();  // the first of them, or NULL

struct StatusLines {
    bool ok = false;  // false: the list did not answer in time
    std::vector<std::wstring> lines;
};
StatusLines ReadStatusList(HWND mainWindow);

struct ControlState {
    bool exists = false;
    bool visible = false;
    bool enabled = false;
    std::wstring text;
};
ControlState ReadControl(HWND dialog, int id);

std::wstring WindowTitle(HWND hwnd);
DWORD WindowProcess(HWND hwnd);
bool IsTopmost(HWND hwnd);

// Dialog boxes that are not main windows: message boxes and the client's
// other dialogs. `text` joins the texts of the box's static controls.
struct DialogInfo {
    HWND hwnd = nullptr;
    DWORD pid = 0;
    std::wstring caption;
    std::wstring text;
    std::vector<int> buttons;
    bool complete = true;  // false when a text could not be read (the owner thread was busy)
};
std::vector<DialogInfo> FindDialogBoxes();

// Posts a click of a dialog's button (WM_COMMAND with BN_CLICKED), the way a
// mouse click reaches the dialog, without waiting for the handler.
bool PostClick(HWND dialog, int id);
// Selects a status line the way a click does: the list's selection moves,
// then the dialog gets the list's LBN_SELCHANGE notification.
bool SelectStatusLine(HWND mainWindow, int index);
// Posts Esc to the control that has the focus in the window's thread, so the
// dialog's message loop treats it as a key press.
bool PostEscape(HWND dialog);

}  // namespace qexdrive
