// The two operations that work with the USB key. Each is one complete pass:
// enumerate, connect, open the first application and the container, work,
// and close everything it opened, on every path. Messages go to the main
// window (message boxes, empty caption, exclamation icon) and its status
// list, through `ui`.
#pragma once

#include "core/ui.h"
#include "token/skf_api.h"

namespace qex {

// Reads the signing certificate of the single key into `cert`. *certLen
// holds the room in `cert` on entry and the certificate's length on
// success; a failure leaves it as it was.
BOOL ReadKeyCertificate(IKeyUi& ui, ISkf& skf, BYTE* cert, ULONG* certLen);

// Verifies the user PIN, signs `data` into `sig` and has the key verify the
// signature with its signing public key. *sigLen holds the room in `sig` on
// entry and the signature's length as soon as signing succeeded. TRUE only
// when all three succeeded.
BOOL SignWithKey(IKeyUi& ui, ISkf& skf, const char* pin, const BYTE* data, ULONG dataLen,
                 BYTE* sig, ULONG* sigLen);

}  // namespace qex
