// The main window's start-up step that follows the first key count.
#pragma once

#include "core/main_state.h"
#include "core/platform.h"
#include "core/ui.h"

namespace qex {

// Stores `keyCount` and appends exactly one status line for it: no key, one
// key (please log in) or several keys (keep only one). With exactly one key
// it also reads the web site and help URLs of the install folder settings,
// enables the login button and shows the help link only when a help URL is
// configured. With any other count both URLs stay empty for the whole run.
void RunStartupKeyStep(int keyCount, MainState& state, IMainWindow& window,
                       IProfileReader& profile, IFileSystem& fs);

}  // namespace qex
