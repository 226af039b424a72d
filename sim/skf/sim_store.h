// Where the software USB key keeps its keys: one folder per plugged-in key
// under a root folder. Creating a device folder plugs a key in, removing it
// pulls the key out.
//
//   <root>/<device>/device.ini                   marks the folder as a key
//   <root>/<device>/<application>/app.ini        user-pin=..., max-retries=...
//   <root>/<device>/<application>/pin-retries    tries left (written by the key)
//   <root>/<device>/<application>/<container>/sign-cert.der
//   <root>/<device>/<application>/<container>/sign-key.sexp
//
// Names served to the client are the folder names in the ANSI code page;
// see ListEntries for which folders count.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qex::sim {

namespace fs = std::filesystem;

inline constexpr char kDeviceMarker[] = "device.ini";
inline constexpr char kAppMarker[] = "app.ini";
inline constexpr char kPinRetriesFile[] = "pin-retries";
inline constexpr char kSignCertFile[] = "sign-cert.der";
inline constexpr char kSignKeyFile[] = "sign-key.sexp";
// Longest name served, in bytes of the ANSI code page (without the NUL).
inline constexpr std::size_t kMaxNameLength = 64;

struct Entry {
    std::string name;  // as the client sees it (ANSI code page on Windows)
    fs::path path;
};

// The root: QEX_SKF_ROOT when set (a Windows path, or under Wine a Unix path
// starting with "/", taken as the same path on drive Z:); otherwise the
// folder "skf-root" beside mtoken_gm3000.dll (Windows) or in the current
// folder (the native library).
fs::path Root();

// The sub-folders of `dir` that hold `marker` (a regular file), or all
// sub-folders when marker is empty. Skipped: plain files, folders without
// the marker, names starting with ".", names that do not survive the trip
// to the ANSI code page unchanged (they could not be opened by that name),
// and names longer than kMaxNameLength bytes. Sorted by name, so the list
// is stable.
std::vector<Entry> ListEntries(const fs::path& dir, const char* marker);

// The entry called `name` in ListEntries(dir, marker); false if none.
bool FindEntry(const fs::path& dir, const char* marker, const std::string& name, Entry* out);

bool IsFile(const fs::path& p);
bool ReadFile(const fs::path& p, std::string* content);
bool WriteFile(const fs::path& p, const std::string& content);

// "key=value" lines; "" when the key is missing.
std::string IniValue(const std::string& content, const std::string& key);

}  // namespace qex::sim
