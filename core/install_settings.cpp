#include "core/install_settings.h"

#include <cstdio>

namespace qex {
namespace {

// A 64-bit Windows keeps hundreds of files in syswow64; a stray folder of
// that name on a 32-bit system holds far fewer.
constexpr long kWow64EntryThreshold = 500;

}  // namespace

std::string GetInstallConfigPath(IFileSystem& fs) {
    const std::string systemDir = fs.SystemDirectory();
    // Without a system folder there is no drive to go by; C: is where
    // Windows lives unless told otherwise.
    const std::string drive(1, systemDir.empty() ? 'C' : systemDir[0]);
    const std::string wow64 = drive + ":\\windows\\syswow64";

    // Entering the folder is the test that it exists. The working folder is
    // put back afterwards: relative paths and DLL look-ups of the rest of the
    // program must not end up in the system folder.
    bool is64 = false;
    const std::string saved = fs.CurrentDirectory();
    if (fs.ChangeDirectory(wow64)) {
        is64 = fs.CountEntries(wow64) > kWow64EntryThreshold;
        if (!saved.empty()) fs.ChangeDirectory(saved);
    }
    return drive + (is64 ? ":\\Program Files (x86)" : ":\\Program Files") + "\\ZULQEX\\wsconfig.ini";
}

std::string ReadWebsiteURL(IProfileReader& profile, const std::string& configPath) {
    return profile.ReadString(configPath, "WEBSITE", "URL", "", kSettingsBufferSize);
}

std::string ReadHelpURL(IProfileReader& profile, const std::string& configPath) {
    return profile.ReadString(configPath, "HELP", "URL", "", kSettingsBufferSize);
}

std::string ReadBridgeOrigins(IProfileReader& profile, const std::string& configPath) {
    return profile.ReadString(configPath, "BRIDGE", "ORIGINS", "", kOriginsBufferSize);
}

bool AppendSealLog(const std::string& reply, const char* path) {
    // "r+b" opens an existing file only: the log is kept only where someone
    // created it on purpose.
    std::FILE* f = std::fopen(path, "r+b");
    if (!f) return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    ok = ok && std::fwrite(reply.data(), 1, reply.size(), f) == reply.size();
    ok = ok && std::fwrite("\r\n", 1, 2, f) == 2;
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}

}  // namespace qex
