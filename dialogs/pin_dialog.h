// CDialog_Pin: asks for the USB key's PIN (its "authentication code").
//
// It is opened by a sign request from the bridge thread while the user works
// in the browser, so it puts itself on top and takes the keyboard focus
// itself: a dialog that opens behind the browser, or in front without the
// focus, swallows the PIN the user starts typing into the browser instead.
#pragma once

#include <string>

#include "framework/dialog.h"

class CDialog_Pin : public qex::fw::Dialog {
public:
    CDialog_Pin();

    std::string m_strPin;   // the PIN typed, valid after IDOK
    HWND m_editPin = nullptr;

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
    void OnOK() override;
};

namespace qex::dialogs {

// Brings `window` (of the calling thread) to the foreground and gives
// `focus` the keyboard focus, also when another program's window is in
// front: the calling thread shares the foreground thread's input state for
// the moment it asks, which is what the system's foreground rule accepts.
void ForceForeground(HWND window, HWND focus);

}  // namespace qex::dialogs
