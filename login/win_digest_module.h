// The digest module as Windows loads it: LoadLibraryA by name (the normal
// DLL search order, so the copy beside the client), the entry looked up by
// name, FreeLibrary at the end of each run.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "login/digest_module.h"

namespace qex {

class WinDigestModule : public IDigestModule {
public:
    WinDigestModule();
    ~WinDigestModule() override;
    WinDigestModule(const WinDigestModule&) = delete;
    WinDigestModule& operator=(const WinDigestModule&) = delete;

    bool Load() override;
    bool FindEntry() override;
    int Digest(const unsigned char* data, long long length, unsigned char* out,
               int* outLen) override;
    void Unload() override;

private:
    using Entry = int(__stdcall*)(const unsigned char*, long long, int, int, unsigned char*, int*);
    HMODULE m_module = nullptr;
    Entry m_entry = nullptr;
};

}  // namespace qex
