// Which program LaunchBrowser starts: the program of the registered "http"
// open command, or Internet Explorer on the system drive.
#pragma once

#include <string>

namespace qex::browser {

// The "http" open command is read from HKEY_CLASSES_ROOT\<kHttpCommandKey>,
// its first value into buffers of kRegistryBufferSize bytes.
inline constexpr char kHttpCommandKey[] = "http\\shell\\open\\command";
inline constexpr unsigned long kRegistryBufferSize = 260;
// The system folder is read into a buffer of this size for the fallback.
inline constexpr unsigned long kSystemDirBufferSize = 260;
// Internet Explorer, after the system drive's letter.
inline constexpr char kIeFallbackTail[] = ":\\Program Files\\Internet Explorer\\iexplore.exe";
// How long LaunchBrowser waits to see whether the started program runs.
inline constexpr unsigned long kLaunchWaitMs = 10000;

}  // namespace qex::browser

namespace qex {

// `command` is the registered command when it could be read, null when not.
// A registered command gives the text between its first double quote and
// the next one (empty when it has no such pair: the launch then fails).
// Without one, the system folder's drive letter + the IE path.
std::string BrowserProgram(const std::string* command, const std::string& systemDirectory);

// How the wait for the started program ended.
enum class LaunchWait { kNoProcess, kExited, kStillRunning, kFailed };

// A browser that handed the URL on and ended, or that still runs after the
// wait, counts as started.
inline bool BrowserStarted(LaunchWait wait) {
    return wait == LaunchWait::kExited || wait == LaunchWait::kStillRunning;
}

}  // namespace qex
