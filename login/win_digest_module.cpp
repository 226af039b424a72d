#include "login/win_digest_module.h"

#include "login/login_texts.h"

namespace qex {

namespace {
constexpr int kNoEntry = -1;  // result when Digest is called without an entry
}

WinDigestModule::WinDigestModule() = default;

WinDigestModule::~WinDigestModule() { Unload(); }

bool WinDigestModule::Load() {
    Unload();
    m_module = LoadLibraryA(login::kDigestModuleName);
    return m_module != nullptr;
}

bool WinDigestModule::FindEntry() {
    m_entry = nullptr;
    if (!m_module) return false;
    // FARPROC to the entry's own type through void*, as MSVC and GCC both accept.
    m_entry = reinterpret_cast<Entry>(
        reinterpret_cast<void*>(GetProcAddress(m_module, login::kDigestEntryName)));
    return m_entry != nullptr;
}

int WinDigestModule::Digest(const unsigned char* data, long long length, unsigned char* out,
                            int* outLen) {
    if (!m_entry) return kNoEntry;
    return m_entry(data, length, 0, 0, out, outLen);
}

void WinDigestModule::Unload() {
    m_entry = nullptr;
    if (m_module) {
        FreeLibrary(m_module);
        m_module = nullptr;
    }
}

}  // namespace qex
