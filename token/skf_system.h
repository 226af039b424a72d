// The SKF library of the installed USB key (mtoken_gm3000.dll, imported).
// Windows only.
#pragma once

#include "token/skf_api.h"

namespace qex {

// The process-wide adapter forwarding to the imported SKF_* functions.
ISkf& SystemSkf();

}  // namespace qex
