#include "dialogs/pin_dialog.h"

#include "dialogs/dialog_ids.h"
#include "dialogs/dialog_texts.h"

namespace qex::dialogs {

void ForceForeground(HWND window, HWND focus) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    const DWORD self = GetCurrentThreadId();
    const HWND front = GetForegroundWindow();
    const DWORD frontThread = front ? GetWindowThreadProcessId(front, nullptr) : 0;
    const bool attached =
        frontThread != 0 && frontThread != self && AttachThreadInput(self, frontThread, TRUE);
    SetForegroundWindow(window);
    BringWindowToTop(window);
    SetActiveWindow(window);
    if (focus) SetFocus(focus);
    if (attached) AttachThreadInput(self, frontThread, FALSE);
    // Still not in front (a foreground lock we could not get round): at
    // least make the taskbar button flash so the user finds it.
    if (GetForegroundWindow() != window) FlashWindow(window, TRUE);
}

}  // namespace qex::dialogs

CDialog_Pin::CDialog_Pin() : qex::fw::Dialog(IDD_PIN_DIALOG) {
    BindText(IDC_PIN_EDIT, &m_strPin);
    BindControl(IDC_PIN_EDIT, &m_editPin);
}

namespace {
// Brought to the front once the framework has placed the dialog: showing
// it during the initialisation would keep it where the template put it.
constexpr UINT kBringToFront = WM_APP + 40;
}  // namespace

BOOL CDialog_Pin::OnInitDialog() {
    qex::fw::Dialog::OnInitDialog();
    SetFocus(m_editPin);
    PostMessageA(Hwnd(), kBringToFront, 0, 0);
    return FALSE;  // the focus is set
}

bool CDialog_Pin::OnMessage(UINT msg, WPARAM, LPARAM, INT_PTR* result) {
    if (msg != kBringToFront) return false;
    qex::dialogs::ForceForeground(Hwnd(), m_editPin);
    *result = TRUE;
    return true;
}

void CDialog_Pin::OnOK() {
    UpdateData(true);
    if (m_strPin.size() >= qex::dialogs::kMinPinBytes) {
        qex::fw::Dialog::OnOK();
        return;
    }
    qex::fw::MessageBoxOwned(Hwnd(), qex::text::kPinTooShort, "", MB_ICONEXCLAMATION | MB_OK);
    SetFocus(m_editPin);
}
