// Platform services the portable logic needs, kept behind interfaces so the
// logic compiles and is unit-tested on Linux. The Windows implementations
// are thin wrappers of the Win32 calls named in each comment.
#pragma once

#include <cstddef>
#include <string>

namespace qex {

// Windows profile (INI) files: GetPrivateProfileStringA semantics. The value
// is cut to bufferSize - 1 bytes; a missing file, section or key gives
// `fallback`.
class IProfileReader {
public:
    virtual ~IProfileReader() = default;
    virtual std::string ReadString(const std::string& path, const std::string& section,
                                   const std::string& key, const std::string& fallback,
                                   std::size_t bufferSize) = 0;
};

// Folders, as the install-folder rule needs them.
class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    // GetSystemDirectoryA; empty on failure.
    virtual std::string SystemDirectory() = 0;
    // Number of entries FindFirstFile/FindNextFile report for "<dir>\*.*"
    // ("." and ".." included); -1 when the folder cannot be entered.
    virtual long CountEntries(const std::string& dir) = 0;
    // GetCurrentDirectoryA / SetCurrentDirectoryA: the process's working
    // folder (empty on failure), and entering a folder (false on failure).
    virtual std::string CurrentDirectory() = 0;
    virtual bool ChangeDirectory(const std::string& dir) = 0;
};

// Code page conversions (MultiByteToWideChar / WideCharToMultiByte).
class ICodePage {
public:
    virtual ~ICodePage() = default;
    // UTF-8 bytes to the ANSI code page (936); nothing is rejected: invalid
    // or unmappable characters become the system's default characters.
    virtual std::string Utf8ToAnsi(const std::string& utf8) = 0;
};

}  // namespace qex
