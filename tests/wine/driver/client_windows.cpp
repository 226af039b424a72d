#include "client_windows.h"

namespace qexdrive {
namespace {

const wchar_t kMainTitleMark[] = L"当前状态";

std::wstring g_program;

bool OfProgram(HWND hwnd) {
    if (g_program.empty()) return true;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, WindowProcess(hwnd));
    if (!process) return false;
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = sizeof(path) / sizeof(path[0]);
    BOOL ok = QueryFullProcessImageNameW(process, 0, path, &size);
    CloseHandle(process);
    if (!ok) return false;
    const wchar_t* base = path;
    for (const wchar_t* p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/') base = p + 1;
    return lstrcmpiW(base, g_program.c_str()) == 0;
}

bool IsDialogClass(HWND hwnd) {
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, sizeof(cls) / sizeof(cls[0]));
    return lstrcmpW(cls, L"#32770") == 0;
}

bool IsMainWindow(HWND hwnd) {
    return IsDialogClass(hwnd) && WindowTitle(hwnd).find(kMainTitleMark) != std::wstring::npos;
}

bool IsOurMainWindow(HWND hwnd) { return IsMainWindow(hwnd) && OfProgram(hwnd); }

BOOL CALLBACK CollectMain(HWND hwnd, LPARAM param) {
    if (IsOurMainWindow(hwnd)) reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

// No SMTO_ABORTIFHUNG: a thread that has just come back from a long blocking
// call (a bounded service call, say) counts as hung until it next reads its
// queue, although it is already building its message box; such a send would
// fail at once and the box would read as empty.
bool SendTimed(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR* result) {
    return SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_NORMAL, kSendTimeoutMs, result) != 0;
}

// WM_GETTEXT is marshalled across processes; GetWindowText would read only
// the copy the window manager keeps, which controls need not update.
bool ReadText(HWND hwnd, std::wstring* out) {
    DWORD_PTR len = 0;
    if (!SendTimed(hwnd, WM_GETTEXTLENGTH, 0, 0, &len)) return false;
    std::wstring text(len + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendTimed(hwnd, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(&text[0]), &got)) return false;
    text.resize(got);
    *out = text;
    return true;
}

struct DialogParts {
    std::wstring text;
    std::vector<int> buttons;
    bool complete = true;  // every static's text could be read
};

BOOL CALLBACK CollectParts(HWND child, LPARAM param) {
    auto* parts = reinterpret_cast<DialogParts*>(param);
    wchar_t cls[64] = {};
    GetClassNameW(child, cls, sizeof(cls) / sizeof(cls[0]));
    std::wstring text;
    if (lstrcmpiW(cls, L"Button") == 0) {
        parts->buttons.push_back(GetDlgCtrlID(child));
    } else if (lstrcmpiW(cls, L"Static") == 0) {
        if (!ReadText(child, &text)) {
            parts->complete = false;
        } else if (!text.empty()) {
            if (!parts->text.empty()) parts->text += L"\n";
            parts->text += text;
        }
    }
    return TRUE;
}

BOOL CALLBACK CollectDialogs(HWND hwnd, LPARAM param) {
    if (!IsDialogClass(hwnd) || IsMainWindow(hwnd) || !IsWindowVisible(hwnd) || !OfProgram(hwnd)) return TRUE;
    DialogInfo box;
    box.hwnd = hwnd;
    box.pid = WindowProcess(hwnd);
    box.caption = WindowTitle(hwnd);
    DialogParts parts;
    EnumChildWindows(hwnd, CollectParts, reinterpret_cast<LPARAM>(&parts));
    box.text = parts.text;
    box.buttons = parts.buttons;
    box.complete = parts.complete;
    reinterpret_cast<std::vector<DialogInfo>*>(param)->push_back(box);
    return TRUE;
}

}  // namespace

void SetProgramFilter(const std::wstring& exeName) { g_program = exeName; }

std::vector<HWND> FindMainWindows() {
    std::vector<HWND> found;
    EnumWindows(CollectMain, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND FindMainWindow() {
    std::vector<HWND> found = FindMainWindows();
    return found.empty() ? nullptr : found.front();
}

StatusLines ReadStatusList(HWND mainWindow) {
    StatusLines out;
    HWND list = GetDlgItem(mainWindow, 1001);
    DWORD_PTR count = 0;
    if (!list || !SendTimed(list, LB_GETCOUNT, 0, 0, &count) || static_cast<LRESULT>(count) < 0)
        return out;
    for (DWORD_PTR i = 0; i < count; ++i) {
        DWORD_PTR len = 0;
        if (!SendTimed(list, LB_GETTEXTLEN, i, 0, &len) || static_cast<LRESULT>(len) < 0) return out;
        std::wstring line(len + 1, L'\0');
        DWORD_PTR got = 0;
        if (!SendTimed(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&line[0]), &got)) return out;
        line.resize(static_cast<LRESULT>(got) < 0 ? 0 : got);
        out.lines.push_back(line);
    }
    out.ok = true;
    return out;
}

ControlState ReadControl(HWND dialog, int id) {
    ControlState state;
    HWND control = GetDlgItem(dialog, id);
    if (!control) return state;
    state.exists = true;
    state.visible = IsWindowVisible(control) != FALSE;
    state.enabled = IsWindowEnabled(control) != FALSE;
    ReadText(control, &state.text);
    return state;
}

std::wstring WindowTitle(HWND hwnd) {
    // The title is kept by the window manager: readable without asking the
    // (possibly busy) owner thread.
    wchar_t buf[1024] = {};
    InternalGetWindowText(hwnd, buf, sizeof(buf) / sizeof(buf[0]));
    return buf;
}

DWORD WindowProcess(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

bool IsTopmost(HWND hwnd) { return (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

std::vector<DialogInfo> FindDialogBoxes() {
    std::vector<DialogInfo> found;
    EnumWindows(CollectDialogs, reinterpret_cast<LPARAM>(&found));
    return found;
}

bool PostClick(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control)) !=
           FALSE;
}

bool SelectStatusLine(HWND mainWindow, int index) {
    HWND list = GetDlgItem(mainWindow, 1001);
    DWORD_PTR result = 0;
    if (!list || !SendTimed(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0, &result) ||
        static_cast<LRESULT>(result) != index)
        return false;
    return PostMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(1001, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list)) !=
           FALSE;
}

bool PostEscape(HWND dialog) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    HWND target = dialog;
    DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    if (GetGUIThreadInfo(thread, &info) && info.hwndFocus &&
        (info.hwndFocus == dialog || IsChild(dialog, info.hwndFocus)))
        target = info.hwndFocus;
    const LPARAM down = 0x00010001;  // repeat count 1, scan code 1 (Esc)
    const LPARAM up = static_cast<LPARAM>(0xC0010001u);
    return PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, down) && PostMessageW(target, WM_KEYUP, VK_ESCAPE, up);
}

}  // namespace qexdrive
