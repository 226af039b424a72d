#include "login/win_digest_module.h"

#include <utility>

#include "login/digest_call.h"

namespace qex {

WinDigestModule::WinDigestModule(std::string fileName) : m_fileName(std::move(fileName)) {}

WinDigestModule::~WinDigestModule() { Unload(); }

bool WinDigestModule::Load() {
    Unload();
    m_module.Reset(LoadLibraryA(m_fileName.c_str()));
    return static_cast<bool>(m_module);
}

bool WinDigestModule::FindEntry() {
    m_entry = m_module ? GetProcAddress(m_module.Get(), login::kDigestEntryName) : nullptr;
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
    m_module.Reset();
}

}  // namespace qex
