// qexdrive: acts on a running client from outside, for the Linux-side tests.
// Prints UTF-8 on stdout; exit code 0 = done, 1 = not found / timed out,
// 2 = bad usage, 3 = refused (the control cannot be used by a user now).
//
//   dump                      main window state as key=value lines
//   msgboxes                  visible dialog boxes other than the main window
//   wait-window MS            until a main window exists
//   wait-line TEXT MS         until a status line equals TEXT
//   wait-title TEXT MS        until the title contains TEXT
//   wait-msgbox CAPTION MS    until a dialog box with that caption shows
//   wait-gone MS              until no main window is left
//   click ID [--force]        the main window's button or link ID
//   click-msgbox CAPTION ID   a button of the dialog box with that caption
//   select INDEX              selects status line INDEX (as a click does)
//   esc                       the Esc key in the main window
//   close                     the close box (WM_SYSCOMMAND SC_CLOSE)
//   wm-close                  WM_CLOSE itself
//
// Windows count only when their process runs %QEX_DRIVE_EXE% (a program
// file's base name, default QEXTivara.exe; "*" for any program).
#include "core/win/win32.h"

#include <cstdlib>
#include <functional>
#include <string>

#include "client_windows.h"

using namespace qexdrive;

namespace {

enum Exit { kDone = 0, kNotFound = 1, kUsage = 2, kRefused = 3 };

const int kReportedControls[] = {1, 2, 1002, 1004, 1005};

void Write(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], n, nullptr,
                            nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
              nullptr);
}

// One value per line: backslash, CR and LF are escaped so every value stays
// on its line (the tests unescape).
std::wstring Escape(const std::wstring& value) {
    std::wstring out;
    for (wchar_t c : value) {
        if (c == L'\\') out += L"\\\\";
        else if (c == L'\n') out += L"\\n";
        else if (c == L'\r') out += L"\\r";
        else out += c;
    }
    return out;
}

void Field(const std::wstring& key, const std::wstring& value) { Write(key + L"=" + Escape(value) + L"\n"); }
void Field(const std::wstring& key, long long value) { Field(key, std::to_wstring(value)); }
void Field(const std::wstring& key, const RECT& r) {
    Field(key, std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L"," + std::to_wstring(r.right) + L"," +
                   std::to_wstring(r.bottom));
}

RECT WindowRect(HWND hwnd) {
    RECT r = {};
    GetWindowRect(hwnd, &r);
    return r;
}

RECT WorkArea(HWND hwnd) {
    MONITORINFO mi;
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &mi);
    return mi.rcWork;
}

// True when `upper` lies above `lower` in the Z order of top-level windows.
bool Above(HWND upper, HWND lower) {
    for (HWND w = GetWindow(upper, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT))
        if (w == lower) return true;
    return false;
}

int Dump() {
    std::vector<HWND> mains = FindMainWindows();
    Field(L"windows", static_cast<long long>(mains.size()));
    if (mains.empty()) return kNotFound;
    HWND main = mains.front();
    Field(L"title", WindowTitle(main));
    Field(L"pid", WindowProcess(main));
    Field(L"visible", IsWindowVisible(main) ? 1 : 0);
    Field(L"enabled", IsWindowEnabled(main) ? 1 : 0);
    Field(L"topmost", IsTopmost(main) ? 1 : 0);
    Field(L"rect", WindowRect(main));
    Field(L"workarea", WorkArea(main));
    for (int id : kReportedControls) {
        ControlState c = ReadControl(main, id);
        std::wstring key = L"ctl." + std::to_wstring(id) + L".";
        Field(key + L"exists", c.exists ? 1 : 0);
        Field(key + L"visible", c.visible ? 1 : 0);
        Field(key + L"enabled", c.enabled ? 1 : 0);
        Field(key + L"text", c.text);
    }
    StatusLines list = ReadStatusList(main);
    Field(L"lines.ok", list.ok ? 1 : 0);
    Field(L"lines", static_cast<long long>(list.lines.size()));
    for (size_t i = 0; i < list.lines.size(); ++i) Field(L"line." + std::to_wstring(i), list.lines[i]);
    return list.ok ? kDone : kNotFound;
}

// Besides what the box says: who owns it, where it is, whether it has a
// frame, and where its control 1003 (the handwriting dialog's picture)
// sits in its client area.
void PrintBox(const DialogInfo& box, size_t index, DWORD mainPid) {
    std::wstring key = L"box." + std::to_wstring(index) + L".";
    Field(key + L"caption", box.caption);
    Field(key + L"text", box.text);
    Field(key + L"pid", box.pid);
    Field(key + L"of_main", mainPid != 0 && box.pid == mainPid ? 1 : 0);
    HWND main = FindMainWindow();
    const HWND owner = GetWindow(box.hwnd, GW_OWNER);
    Field(key + L"owner_is_main", main && owner == main ? 1 : 0);
    Field(key + L"owner_enabled", owner && IsWindowEnabled(owner) ? 1 : 0);
    Field(key + L"above_main", main && Above(box.hwnd, main) ? 1 : 0);
    Field(key + L"topmost", IsTopmost(box.hwnd) ? 1 : 0);
    Field(key + L"rect", WindowRect(box.hwnd));
    Field(key + L"workarea", WorkArea(box.hwnd));
    RECT client = {};
    GetClientRect(box.hwnd, &client);
    Field(key + L"client", client);
    if (HWND picture = GetDlgItem(box.hwnd, 1003)) {
        RECT r = WindowRect(picture);
        MapWindowPoints(nullptr, box.hwnd, reinterpret_cast<POINT*>(&r), 2);
        Field(key + L"ctl1003", r);
    }
    std::wstring ids;
    for (int id : box.buttons) ids += (ids.empty() ? L"" : L",") + std::to_wstring(id);
    Field(key + L"buttons", ids);
}

int MsgBoxes() {
    HWND main = FindMainWindow();
    DWORD mainPid = main ? WindowProcess(main) : 0;
    std::vector<DialogInfo> boxes = FindDialogBoxes();
    Field(L"boxes", static_cast<long long>(boxes.size()));
    for (size_t i = 0; i < boxes.size(); ++i) PrintBox(boxes[i], i, mainPid);
    return kDone;
}

const DialogInfo* FindBox(const std::vector<DialogInfo>& boxes, const std::wstring& caption) {
    for (const auto& box : boxes)
        if (box.caption == caption) return &box;
    return nullptr;
}

// Polls `done` until it holds or `ms` has passed; the condition is checked
// once more at the deadline so a slow poll never loses a late success.
bool WaitFor(DWORD ms, const std::function<bool()>& done) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start >= ms) return done();
        Sleep(50);
    }
}

bool HasLine(const std::wstring& text) {
    HWND main = FindMainWindow();
    if (!main) return false;
    StatusLines list = ReadStatusList(main);
    for (const auto& line : list.lines)
        if (line == text) return true;
    return false;
}

int Click(int id, bool force) {
    HWND main = FindMainWindow();
    if (!main) return kNotFound;
    ControlState c = ReadControl(main, id);
    if (!c.exists) return kNotFound;
    if (!force && !(c.visible && c.enabled && IsWindowVisible(main))) {
        Field(L"refused", L"control " + std::to_wstring(id) + L" is hidden or disabled");
        return kRefused;
    }
    return PostClick(main, id) ? kDone : kNotFound;
}

int ClickBox(const std::wstring& caption, int id) {
    std::vector<DialogInfo> boxes = FindDialogBoxes();
    const DialogInfo* box = FindBox(boxes, caption);
    if (!box) return kNotFound;
    return PostClick(box->hwnd, id) ? kDone : kNotFound;
}

int PostToMain(UINT msg, WPARAM wp) {
    HWND main = FindMainWindow();
    return main && PostMessageW(main, msg, wp, 0) ? kDone : kNotFound;
}

DWORD Millis(const wchar_t* text) { return static_cast<DWORD>(wcstoul(text, nullptr, 10)); }

int Usage() {
    Write(L"usage: qexdrive dump|msgboxes|wait-window MS|wait-line TEXT MS|wait-title TEXT MS|"
          L"wait-msgbox CAPTION MS|wait-gone MS|click ID [--force]|click-msgbox CAPTION ID|"
          L"select INDEX|esc|close|wm-close\n");
    return kUsage;
}

void ApplyProgramFilter() {
    wchar_t name[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(L"QEX_DRIVE_EXE", name, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) SetProgramFilter(L"QEXTivara.exe");
    else SetProgramFilter(lstrcmpW(name, L"*") == 0 ? L"" : name);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    ApplyProgramFilter();
    if (argc < 2) return Usage();
    std::wstring cmd = argv[1];
    if (cmd == L"dump" && argc == 2) return Dump();
    if (cmd == L"msgboxes" && argc == 2) return MsgBoxes();
    if (cmd == L"wait-window" && argc == 3)
        return WaitFor(Millis(argv[2]), [] { return FindMainWindow() != nullptr; }) ? kDone : kNotFound;
    if (cmd == L"wait-gone" && argc == 3)
        return WaitFor(Millis(argv[2]), [] { return FindMainWindow() == nullptr; }) ? kDone : kNotFound;
    if (cmd == L"wait-line" && argc == 4) {
        std::wstring text = argv[2];
        return WaitFor(Millis(argv[3]), [&] { return HasLine(text); }) ? kDone : kNotFound;
    }
    if (cmd == L"wait-title" && argc == 4) {
        std::wstring text = argv[2];
        return WaitFor(Millis(argv[3]), [&] {
                   HWND main = FindMainWindow();
                   return main && WindowTitle(main).find(text) != std::wstring::npos;
               })
                   ? kDone
                   : kNotFound;
    }
    if (cmd == L"wait-msgbox" && argc == 4) {
        std::wstring caption = argv[2];
        std::vector<DialogInfo> boxes;
        bool found = WaitFor(Millis(argv[3]), [&] {
            boxes = FindDialogBoxes();
            // A box whose texts could not all be read yet is looked at again.
            const DialogInfo* box = FindBox(boxes, caption);
            return box != nullptr && box->complete;
        });
        if (!found || !FindBox(boxes, caption)) return kNotFound;
        HWND main = FindMainWindow();
        PrintBox(*FindBox(boxes, caption), 0, main ? WindowProcess(main) : 0);
        return kDone;
    }
    if (cmd == L"click" && (argc == 3 || (argc == 4 && std::wstring(argv[3]) == L"--force")))
        return Click(_wtoi(argv[2]), argc == 4);
    if (cmd == L"click-msgbox" && argc == 4) return ClickBox(argv[2], _wtoi(argv[3]));
    if (cmd == L"select" && argc == 3) {
        HWND main = FindMainWindow();
        return main && SelectStatusLine(main, _wtoi(argv[2])) ? kDone : kNotFound;
    }
    if (cmd == L"esc" && argc == 2) {
        HWND main = FindMainWindow();
        return main && PostEscape(main) ? kDone : kNotFound;
    }
    if (cmd == L"close" && argc == 2) return PostToMain(WM_SYSCOMMAND, SC_CLOSE);
    if (cmd == L"wm-close" && argc == 2) return PostToMain(WM_CLOSE, 0);
    return Usage();
}
