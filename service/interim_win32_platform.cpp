#include "service/interim_win32_platform.h"

#ifdef _WIN32

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <vector>

#include "service/protocol.h"

namespace qex::service {

std::string InterimWin32ProfileReader::ReadString(const std::string& path,
                                                  const std::string& section,
                                                  const std::string& key,
                                                  const std::string& fallback,
                                                  std::size_t bufferSize) {
    if (bufferSize == 0) {
        return std::string();
    }
    std::vector<char> buffer(bufferSize, '\0');
    GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(),
                             static_cast<DWORD>(buffer.size()), path.c_str());
    buffer.back() = '\0';
    return std::string(buffer.data());
}

std::string InterimWin32FileSystem::SystemDirectory() {
    char buffer[protocol::kSystemDirBufferSize] = {0};
    const UINT length = GetSystemDirectoryA(buffer, static_cast<UINT>(sizeof(buffer)));
    if (length == 0 || length >= sizeof(buffer)) {
        return std::string();
    }
    return std::string(buffer, length);
}

long InterimWin32FileSystem::CountEntries(const std::string& dir) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return -1;
    }
    long count = 0;
    do {
        ++count;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return count;
}

std::string InterimWin32FileSystem::CurrentDirectory() {
    char buffer[MAX_PATH] = {0};
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(sizeof(buffer)), buffer);
    if (length == 0 || length >= sizeof(buffer)) {
        return std::string();
    }
    return std::string(buffer, length);
}

bool InterimWin32FileSystem::ChangeDirectory(const std::string& dir) {
    return SetCurrentDirectoryA(dir.c_str()) != FALSE;
}

}  // namespace qex::service

#endif
