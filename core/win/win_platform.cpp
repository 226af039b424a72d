#include "core/win/win_platform.h"

#include "core/win/code_page.h"
#include "core/win/owners.h"

#include <vector>

namespace qex {

std::string WinProfileReader::ReadString(const std::string& path, const std::string& section,
                                         const std::string& key, const std::string& fallback,
                                         std::size_t bufferSize) {
    if (bufferSize == 0) return std::string();
    std::vector<char> buf(bufferSize, '\0');
    const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(),
                                             buf.data(), static_cast<DWORD>(bufferSize),
                                             path.c_str());
    return std::string(buf.data(), n < bufferSize ? n : bufferSize - 1);
}

std::string WinFileSystem::SystemDirectory() {
    if (systemDirBuffer_ == 0) return std::string();
    std::vector<char> buf(systemDirBuffer_, '\0');
    const UINT n = GetSystemDirectoryA(buf.data(), static_cast<UINT>(buf.size()));
    return (n > 0 && n < buf.size()) ? std::string(buf.data(), n) : std::string();
}

long WinFileSystem::CountEntries(const std::string& dir) {
    WIN32_FIND_DATAA data;
    const win::UniqueFind find(FindFirstFileA((dir + "\\*.*").c_str(), &data));
    if (!find) return -1;
    long count = 0;
    do {
        ++count;
    } while (FindNextFileA(find.Get(), &data));
    return count;
}

std::string WinFileSystem::CurrentDirectory() {
    const DWORD need = GetCurrentDirectoryA(0, nullptr);
    if (need == 0) return std::string();
    std::vector<char> buf(need + 1, '\0');
    const DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(buf.size()), buf.data());
    return (n > 0 && n < buf.size()) ? std::string(buf.data(), n) : std::string();
}

bool WinFileSystem::ChangeDirectory(const std::string& dir) {
    return SetCurrentDirectoryA(dir.c_str()) != FALSE;
}

std::string WinCodePage::Utf8ToAnsi(const std::string& utf8) {
    return win::FromWide(win::ToWide(utf8, CP_UTF8));
}

}  // namespace qex
