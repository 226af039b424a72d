#include "login/digest_call.h"

#include <cstring>

namespace qex::login {
namespace {

// The entry as the caller sees it on 64-bit, and as the thunk calls it.
using DirectEntry = int(__stdcall*)(const unsigned char*, long long, int, int, unsigned char*, int*);

#if defined(_M_IX86) || defined(__i386__)

// The thunk, called as __cdecl with the entry first and then the entry's own
// seven argument words (data, length low and high, 0, 0, out, outLength):
//
//   55                 push  ebp
//   89 E5              mov   ebp, esp
//   B9 07 00 00 00     mov   ecx, 7                    ; argument words
//   8D 45 0C           lea   eax, [ebp+12]             ; the first of them
//   FF 74 88 FC    l:  push  dword ptr [eax+ecx*4-4]   ; last to first
//   E2 FA              loop  l
//   FF 55 08           call  dword ptr [ebp+8]         ; the entry
//   89 EC              mov   esp, ebp                  ; whatever it popped
//   5D                 pop   ebp
//   C3                 ret
//
// Both conventions keep ebp, ebx, esi and edi and return in eax, so
// restoring esp from ebp is all it takes. The bytes are written once into
// memory of their own, which is then made executable and read-only; no
// assembler is needed, so any Windows compiler builds this file.
const unsigned char kThunk[] = {
    0x55, 0x89, 0xE5, 0xB9, 0x07, 0x00, 0x00, 0x00, 0x8D, 0x45, 0x0C, 0xFF, 0x74, 0x88,
    0xFC, 0xE2, 0xFA, 0xFF, 0x55, 0x08, 0x89, 0xEC, 0x5D, 0xC3,
};

using Thunk = int(__cdecl*)(FARPROC, const unsigned char*, long long, int, int, unsigned char*, int*);

Thunk MakeThunk() {
    void* code = VirtualAlloc(nullptr, sizeof kThunk, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!code) return nullptr;
    std::memcpy(code, kThunk, sizeof kThunk);
    DWORD old = 0;
    if (!VirtualProtect(code, sizeof kThunk, PAGE_EXECUTE_READ, &old)) {
        VirtualFree(code, 0, MEM_RELEASE);
        return nullptr;
    }
    FlushInstructionCache(GetCurrentProcess(), code, sizeof kThunk);
    return reinterpret_cast<Thunk>(code);
}

#endif

}  // namespace

int CallDigestEntry(FARPROC entry, const unsigned char* data, long long length, unsigned char* out,
                    int* outLength) {
#if defined(_M_IX86) || defined(__i386__)
    // Made on first use and kept for the life of the process (a function-
    // local static is initialised once, also with two threads logging in).
    static const Thunk thunk = MakeThunk();
    if (thunk) return thunk(entry, data, length, 0, 0, out, outLength);
    // Without executable memory there is no safe way to call an entry of
    // unknown convention; the documented one is the best guess left.
#endif
    const DirectEntry direct = reinterpret_cast<DirectEntry>(reinterpret_cast<void*>(entry));
    return direct(data, length, 0, 0, out, outLength);
}

}  // namespace qex::login
