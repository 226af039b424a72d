// The PIN prompt of the login procedure: CDialog_Pin, run modally on the
// calling thread (the main thread or the bridge thread).
#pragma once

#include "core/ui.h"
#include "login/login_state.h"

class WinPinPrompt : public qex::IPinPrompt {
public:
    int AskPin(std::string* pin) override;
};
