// One call of the maker's digest entry, whatever calling convention the
// maker compiled it with.
//
//   QEXGetDigest(const unsigned char* data, long long length, int, int,
//                unsigned char* out, int* outLength)
//
// The maker does not say whether the entry is __stdcall (it pops its own 28
// bytes of arguments) or __cdecl (the caller pops them). On 32-bit Windows
// calling it the wrong way leaves the stack pointer 28 bytes off, which
// corrupts the caller's frame. The call therefore goes through a small
// thunk that saves the stack pointer in its frame pointer before pushing the
// arguments and restores it from there after the call: whether the entry
// popped its arguments or not no longer matters. On 64-bit Windows there is
// only one convention and the entry is called directly.
#pragma once

#include "core/win/win32.h"

namespace qex::login {

// The entry's return value is handed back as it is; the client does not
// look at it (it relies on the output buffer and the length alone).
int CallDigestEntry(FARPROC entry, const unsigned char* data, long long length, unsigned char* out,
                    int* outLength);

}  // namespace qex::login
