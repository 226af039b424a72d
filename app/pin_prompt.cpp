#include "app/pin_prompt.h"

#include "dialogs/pin_dialog.h"

int WinPinPrompt::AskPin(std::string* pin) {
    CDialog_Pin dlg;
    if (dlg.DoModal() != IDOK) return qex::kIdCancel;
    *pin = dlg.m_strPin;
    return qex::kIdOk;
}
