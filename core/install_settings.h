// The install folder's settings file and the login log.
#pragma once

#include "core/platform.h"

#include <string>

namespace qex {

// Full path of "wsconfig.ini" in the install folder "ZULQEX": under
// "Program Files (x86)" when "<d>:\windows\syswow64" can be entered and holds
// more than 500 entries (a 64-bit Windows), else under "Program Files", on
// the drive d of the system folder. The process's working folder is the same
// after the call as before.
std::string GetInstallConfigPath(IFileSystem& fs);

// Entries of the install folder's settings file, read into a 500-byte
// buffer (so at most 499 bytes); empty when the file, section or key is
// missing.
inline constexpr std::size_t kSettingsBufferSize = 500;
std::string ReadWebsiteURL(IProfileReader& profile, const std::string& configPath);
std::string ReadHelpURL(IProfileReader& profile, const std::string& configPath);

// [BRIDGE] ORIGINS: the pages that may seal, read once at start-up whatever
// the number of keys. Its own, larger buffer: a list of origins is longer
// than a URL.
inline constexpr std::size_t kOriginsBufferSize = 4096;
std::string ReadBridgeOrigins(IProfileReader& profile, const std::string& configPath);

inline constexpr char kSealLogPath[] = "d:/seallog.txt";

// Appends `reply` and CR LF to the log file, only when the file already
// exists and can be opened for writing; otherwise nothing happens. Returns
// whether the entry was written.
bool AppendSealLog(const std::string& reply, const char* path = kSealLogPath);

}  // namespace qex
