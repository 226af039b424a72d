// Digest modules that behave as a maker's module may, unlike our stand-in in
// sim/digest: SHA-256 through the system's CNG instead of libgcrypt, and
//   QEX_VARIANT_NONZERO  the entry fills the buffer and the length correctly
//                        but returns a nonzero value (what it means is the
//                        maker's business);
//   QEX_VARIANT_CDECL    the entry uses the C calling convention (on 32-bit
//                        the caller pops the arguments).
// The client must log in and seal with either.
// Built as a maker would build it: nothing of ours.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <bcrypt.h>

#if defined(QEX_VARIANT_CDECL)
#define QEX_ENTRY_CONVENTION __cdecl
#else
#define QEX_ENTRY_CONVENTION __stdcall
#endif

namespace {

constexpr int kSha256Size = 32;

bool Sha256(const unsigned char* data, ULONG length, unsigned char* out) {
    BCRYPT_ALG_HANDLE alg = nullptr;
    if (BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) return false;
    BCRYPT_HASH_HANDLE hash = nullptr;
    static unsigned char empty = 0;
    bool ok = BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0) == 0;
    ok = ok && BCryptHashData(hash, const_cast<unsigned char*>(data ? data : &empty), length, 0) == 0;
    ok = ok && BCryptFinishHash(hash, out, kSha256Size, 0) == 0;
    if (hash) BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(alg, 0);
    return ok;
}

}  // namespace

extern "C" int QEX_ENTRY_CONVENTION QEXGetDigest(const unsigned char* data, long long length, int, int,
                                                 unsigned char* digest, int* digestLength) {
    if (!digestLength || !digest || length < 0 || length > 0x7FFFFFFF || *digestLength < kSha256Size) {
        if (digestLength) *digestLength = 0;
        return 0x5A;
    }
    if (!Sha256(data, static_cast<ULONG>(length), digest)) {
        *digestLength = 0;
        return 0x5B;
    }
    *digestLength = kSha256Size;
#if defined(QEX_VARIANT_NONZERO)
    return 0x2A;
#else
    return 0;
#endif
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
