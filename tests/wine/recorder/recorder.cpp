// Stands in for the web browser inside a test prefix: it is registered as the
// "http" handler, so whatever the client opens lands here instead of in a real
// browser. Each start appends one line to the log and exits at once:
// the argument text exactly as the starter passed it (everything after the
// program name), as UTF-8. Tests compare that text with what they expect.
//
// The log is %QEX_BROWSER_LOG% when set (a Windows path, or a Unix path that
// is reached through drive Z:), else C:\qex-browser.log.
#include "core/win/win32.h"

#include <string>

namespace {

// The command line without the program name: the part a browser sees as its
// arguments. Follows the parsing rule for argv[0] (quoted or up to a blank).
const wchar_t* SkipProgramName(const wchar_t* p) {
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p == L'"') ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

std::wstring LogPath() {
    wchar_t buf[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableW(L"QEX_BROWSER_LOG", buf, sizeof(buf) / sizeof(buf[0]));
    if (n == 0 || n >= sizeof(buf) / sizeof(buf[0])) return L"C:\\qex-browser.log";
    std::wstring path(buf, n);
    if (path[0] == L'/') {
        for (auto& c : path)
            if (c == L'/') c = L'\\';
        path = L"Z:" + path;
    }
    return path;
}

}  // namespace

// How the starter asked the first window to be shown (the show command of
// ShellExecute), as "show=N" lines in a log of its own beside the first:
// SW_HIDE is 0, SW_SHOW 5, SW_SHOWNORMAL 1; "show=default" when the starter
// gave none.
void RecordShowCommand() {
    STARTUPINFOW info = {};
    info.cb = sizeof(info);
    GetStartupInfoW(&info);
    const std::string line = (info.dwFlags & STARTF_USESHOWWINDOW)
                                 ? "show=" + std::to_string(info.wShowWindow) + "\n"
                                 : std::string("show=default\n");
    HANDLE file = CreateFileW((LogPath() + L".show").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    RecordShowCommand();
    std::string line = ToUtf8(SkipProgramName(GetCommandLineW()));
    line += "\n";
    // Several starts may race (two clients, or the shell and the client):
    // append-only writes keep each line whole.
    HANDLE file = CreateFileW(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == line.size() ? 0 : 1;
}
