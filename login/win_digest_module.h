// The digest module as Windows loads it: LoadLibraryA by name (the normal
// DLL search order, so the copy beside the client), the entry looked up by
// name, FreeLibrary at the end of each run.
#pragma once

#include "core/win/owners.h"

#include <string>

#include "login/digest_module.h"
#include "login/login_texts.h"

namespace qex {

class WinDigestModule : public IDigestModule {
public:
    // `fileName` is the module the client loads; tests name stand-ins.
    explicit WinDigestModule(std::string fileName = login::kDigestModuleName);
    ~WinDigestModule() override;
    WinDigestModule(const WinDigestModule&) = delete;
    WinDigestModule& operator=(const WinDigestModule&) = delete;

    bool Load() override;
    bool FindEntry() override;
    void Digest(const unsigned char* data, long long length, unsigned char* out, int* outLen) override;
    void Unload() override;

private:
    std::string m_fileName;
    win::UniqueModule m_module;
    FARPROC m_entry = nullptr;
};

}  // namespace qex
