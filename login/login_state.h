// The PIN prompt the login procedure may show. (What it reads and writes of
// the main window's shared state is MainState itself: every access there is
// a guarded copy, as the main and the bridge thread share it.)
#pragma once

#include <string>

#include "core/main_state.h"

namespace qex {

// The PIN dialog, run modally on the calling thread. Returns kIdOk with the
// typed PIN in *pin, or kIdCancel.
class IPinPrompt {
public:
    virtual ~IPinPrompt() = default;
    virtual int AskPin(std::string* pin) = 0;
};

}  // namespace qex
