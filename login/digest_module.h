// The maker's digest module, loaded by name at every run and unloaded again.
// Behind an interface so the login logic runs against fakes; on Windows
// WinDigestModule wraps LoadLibraryA / GetProcAddress / FreeLibrary.
#pragma once

namespace qex {

class IDigestModule {
public:
    virtual ~IDigestModule() = default;
    // Loads the module; false when it cannot be loaded.
    virtual bool Load() = 0;
    // Looks up the digest entry in the loaded module; false when it is missing.
    virtual bool FindEntry() = 0;
    // Calls the entry: (data, length, 0, 0, out, outLen), *outLen holding the
    // room in `out` on entry and the digest's size on return. What the entry
    // returns is the maker's business: a module may fill the buffer and
    // still return any value, so only the buffer and the length count. With
    // no entry to call, *outLen becomes 0.
    virtual void Digest(const unsigned char* data, long long length, unsigned char* out,
                        int* outLen) = 0;
    // Unloads the module (harmless when it is not loaded).
    virtual void Unload() = 0;
};

}  // namespace qex
