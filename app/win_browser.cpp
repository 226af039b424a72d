#include "app/win_browser.h"

#include "core/win/win32.h"
#include <shellapi.h>

#include "core/win/owners.h"
#include "core/win/win_platform.h"
#include "login/browser_launch.h"

namespace {

// The first value of HKEY_CLASSES_ROOT\http\shell\open\command. Reading it
// needs read access only; asking for more is refused to ordinary users and
// would always send them to Internet Explorer.
bool ReadHttpCommand(std::string* command) {
    qex::win::UniqueRegKey key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, qex::browser::kHttpCommandKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return false;
    char name[qex::browser::kRegistryBufferSize] = {};
    DWORD nameSize = sizeof(name);
    BYTE data[qex::browser::kRegistryBufferSize + 1] = {};
    DWORD dataSize = qex::browser::kRegistryBufferSize;
    DWORD type = 0;
    if (RegEnumValueA(key.Get(), 0, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
        return false;
    command->assign(reinterpret_cast<char*>(data));  // NUL-terminated: one byte of room past the data
    return true;
}

qex::LaunchWait Start(const std::string& program, const std::string& url) {
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof(info);
    // No error box of the shell's own when the program is missing: the
    // caller answers a failed start with the URL notice.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    info.lpVerb = nullptr;
    info.lpFile = program.c_str();
    info.lpParameters = url.c_str();  // as it is: the URL is the only argument
    info.lpDirectory = nullptr;
    // As the client always has: hidden. A browser that is already running
    // shows the page in its own window; a new one decides for itself.
    info.nShow = SW_HIDE;
    if (!ShellExecuteExA(&info) || !info.hProcess) return qex::LaunchWait::kNoProcess;
    const qex::win::UniqueHandle process(info.hProcess);
    switch (WaitForSingleObject(process.Get(), qex::browser::kLaunchWaitMs)) {
    case WAIT_OBJECT_0:
        return qex::LaunchWait::kExited;
    case WAIT_TIMEOUT:
        return qex::LaunchWait::kStillRunning;
    default:
        return qex::LaunchWait::kFailed;
    }
}

}  // namespace

bool WinLaunchBrowser(const std::string& url) {
    std::string command;
    const bool registered = ReadHttpCommand(&command);
    qex::WinFileSystem system(qex::browser::kSystemDirBufferSize);
    const std::string program = qex::BrowserProgram(registered ? &command : nullptr, system.SystemDirectory());
    if (program.empty()) return false;
    return qex::BrowserStarted(Start(program, url));
}

void WinShellOpen::OpenUrl(const std::string& url) {
    ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOW);
}
