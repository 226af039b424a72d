// Windows implementations of the platform interfaces of core/platform.h:
// thin wrappers of the ANSI Win32 calls.
#pragma once

#include "core/platform.h"

namespace qex {

// GetPrivateProfileStringA into a zero-filled buffer of bufferSize bytes.
class WinProfileReader : public IProfileReader {
public:
    std::string ReadString(const std::string& path, const std::string& section,
                           const std::string& key, const std::string& fallback,
                           std::size_t bufferSize) override;
};

class WinFileSystem : public IFileSystem {
public:
    // systemDirBuffer: the buffer GetSystemDirectoryA is given (a longer
    // system folder reads as a failure).
    explicit WinFileSystem(std::size_t systemDirBuffer = 261) : systemDirBuffer_(systemDirBuffer) {}
    std::string SystemDirectory() override;
    long CountEntries(const std::string& dir) override;
    std::string CurrentDirectory() override;
    bool ChangeDirectory(const std::string& dir) override;

private:
    std::size_t systemDirBuffer_;
};

class WinCodePage : public ICodePage {
public:
    std::string Utf8ToAnsi(const std::string& utf8) override;
};

}  // namespace qex
