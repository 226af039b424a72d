// The key watch: half a second after the system reports device changes the
// main window counts the USB keys and moves between no key, one key,
// several keys and logged in.
#pragma once

#include <string>

#include "core/main_state.h"
#include "core/platform.h"
#include "core/ui.h"

namespace qex {

// The shell's "open" verb on a URL (no owner, SW_SHOW); the result is of no
// interest to the key watch.
class IShellOpen {
public:
    virtual ~IShellOpen() = default;
    virtual void OpenUrl(const std::string& url) = 0;
};

inline constexpr unsigned kKeyCheckTimerId = 1;
inline constexpr unsigned kKeyCheckDelayMs = 500;
inline constexpr unsigned kDeviceNodesChanged = 0x0007;  // DBT_DEVNODES_CHANGED

struct KeyWatchParts {
    MainState& state;
    IMainWindow& window;
    IShellOpen& shell;
    IProfileReader& profile;
    IFileSystem& fs;
};

// One key check with `keyCount` keys connected now (the timer handler, after
// it killed the timer and counted the keys). The cached PIN and the key's
// identity are left alone.
void RunKeyCheck(int keyCount, const KeyWatchParts& parts);

}  // namespace qex
