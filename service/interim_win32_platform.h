// Win32 versions of the two platform services the endpoint setting needs.
// Interim: the application shell's own implementations of IFileSystem and
// IProfileReader replace these once they exist (install them with
// SetServiceEndpointSources, then delete this pair of files).
#pragma once

#ifdef _WIN32

#include "core/platform.h"

namespace qex::service {

class InterimWin32ProfileReader : public IProfileReader {
public:
    std::string ReadString(const std::string& path, const std::string& section,
                           const std::string& key, const std::string& fallback,
                           std::size_t bufferSize) override;
};

class InterimWin32FileSystem : public IFileSystem {
public:
    std::string SystemDirectory() override;
    long CountEntries(const std::string& dir) override;
    std::string CurrentDirectory() override;
    bool ChangeDirectory(const std::string& dir) override;
};

}  // namespace qex::service

#endif
