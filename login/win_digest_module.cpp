#include "login/win_digest_module.h"

#include <utility>

#include "login/digest_call.h"

namespace qex {

WinDigestModule::WinDigestModule(std::string fileName) : m_fileName(std::move(fileName)) {}

WinDigestModule::~WinDigestModule() { Unload(); }

bool WinDigestModule::Load() {
    Unload();
    m_module = LoadLibraryA(m_fileName.c_str());
    return m_module != nullptr;
}

bool WinDigestModule::FindEntry() {
    m_entry = m_module ? GetProcAddress(m_module, login::kDigestEntryName) : nullptr;
    return m_entry != nullptr;
}

void WinDigestModule::Digest(const unsigned char* data, long long length, unsigned char* out, int* outLen) {
    if (!m_entry) {
        *outLen = 0;
        return;
    }
    login::CallDigestEntry(m_entry, data, length, out, outLen);
}

void WinDigestModule::Unload() {
    m_entry = nullptr;
    if (m_module) {
        FreeLibrary(m_module);
        m_module = nullptr;
    }
}

}  // namespace qex
