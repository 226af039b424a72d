// Stand-in for the maker's digest module QEXMultiCACryptModule.dll: its
// entry QEXGetDigest computes SHA-256 (32 bytes, whose Base64 of 44
// characters fits the caller's 50-byte text buffer).
//
//   int __stdcall QEXGetDigest(const unsigned char* data, long long length,
//                              int reserved1, int reserved2,
//                              unsigned char* digest, int* digestLength);
//
// *digestLength holds the buffer size on entry and the digest size (32) on
// return. Returns 0 on success; 1 for bad arguments (no length pointer, a
// negative length, no data with a length, no output buffer); 2 when the
// buffer is smaller than 32 bytes (*digestLength then says 32).
#include <gcrypt.h>

#include <mutex>

#include "core/win/win32.h"

namespace {

constexpr int kSha256Size = 32;

void InitGcrypt() {
    static std::once_flag once;
    std::call_once(once, [] {
        gcry_check_version(nullptr);
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    });
}

}  // namespace

extern "C" int __stdcall QEXGetDigest(const unsigned char* data, long long length, int /*reserved1*/,
                                      int /*reserved2*/, unsigned char* digest, int* digestLength) {
    try {
        if (!digestLength || length < 0 || (!data && length > 0) || !digest) return 1;
        if (static_cast<unsigned long long>(length) > static_cast<size_t>(-1)) return 1;
        if (*digestLength < kSha256Size) {
            *digestLength = kSha256Size;
            return 2;
        }
        InitGcrypt();
        static const unsigned char empty = 0;
        gcry_md_hash_buffer(GCRY_MD_SHA256, digest, data ? data : &empty,
                            static_cast<size_t>(length));
        *digestLength = kSha256Size;
        return 0;
    } catch (...) {
        return 1;
    }
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
