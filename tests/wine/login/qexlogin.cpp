// qexlogin: what the login tests need beyond qexdrive: looking into the
// client's PIN and URL notice dialogs, typing into them, and telling the
// main window that devices changed. UTF-8 key=value lines on stdout; exit
// code 0 = done, 1 = not found / timed out, 2 = bad usage.
//
//   dialog CAPTION MS        waits for the dialog box; its focus, edit box 1002, topmost state
//   type CAPTION TEXT        types TEXT into edit box 1002 of that dialog, key by key
//   devchange                posts WM_DEVICECHANGE(DBT_DEVNODES_CHANGED) to the main window
#include "core/win/win32.h"

#include <cstdlib>
#include <string>

#include "../driver/client_windows.h"

namespace {

enum Exit { kDone = 0, kNotFound = 1, kUsage = 2 };
constexpr int kEditId = 1002;

void Write(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], n, nullptr,
                            nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void Field(const std::wstring& key, const std::wstring& value) {
    std::wstring v;
    for (wchar_t c : value) {
        if (c == L'\\') v += L"\\\\";
        else if (c == L'\n') v += L"\\n";
        else if (c == L'\r') v += L"\\r";
        else v += c;
    }
    Write(key + L"=" + v + L"\n");
}
void Field(const std::wstring& key, long long value) { Field(key, std::to_wstring(value)); }

HWND FindBox(const std::wstring& caption) {
    for (const auto& box : qexdrive::FindDialogBoxes())
        if (box.caption == caption) return box.hwnd;
    return nullptr;
}

HWND WaitForBox(const std::wstring& caption, DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND box = FindBox(caption)) return box;
        if (GetTickCount() - start >= ms) return FindBox(caption);
        Sleep(50);
    }
}

std::wstring EditText(HWND edit) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(edit, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 3000, &len)) return L"<no answer>";
    std::wstring text(len + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(edit, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(&text[0]), SMTO_ABORTIFHUNG, 3000,
                        &got);
    text.resize(got);
    return text;
}

int Dialog(const std::wstring& caption, DWORD ms) {
    HWND box = WaitForBox(caption, ms);
    if (!box) return kNotFound;
    const HWND edit = GetDlgItem(box, kEditId);
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &info);
    Field(L"found", 1);
    Field(L"topmost", qexdrive::IsTopmost(box) ? 1 : 0);
    Field(L"foreground", GetForegroundWindow() == box ? 1 : 0);
    Field(L"focus_in_edit", edit && info.hwndFocus == edit ? 1 : 0);
    Field(L"password", edit && (GetWindowLongW(edit, GWL_STYLE) & ES_PASSWORD) ? 1 : 0);
    Field(L"readonly", edit && (GetWindowLongW(edit, GWL_STYLE) & ES_READONLY) ? 1 : 0);
    Field(L"edit", edit ? EditText(edit) : L"");
    return kDone;
}

int Type(const std::wstring& caption, const std::wstring& text) {
    HWND box = FindBox(caption);
    HWND edit = box ? GetDlgItem(box, kEditId) : nullptr;
    if (!edit) return kNotFound;
    for (wchar_t c : text) PostMessageW(edit, WM_CHAR, c, 1);
    return kDone;
}

int DeviceChange() {
    HWND main = qexdrive::FindMainWindow();
    return main && PostMessageW(main, WM_DEVICECHANGE, 0x0007 /* DBT_DEVNODES_CHANGED */, 0) ? kDone : kNotFound;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return kUsage;
    const std::wstring cmd = argv[1];
    if (cmd == L"dialog" && argc == 4) return Dialog(argv[2], static_cast<DWORD>(wcstoul(argv[3], nullptr, 10)));
    if (cmd == L"type" && argc == 4) return Type(argv[2], argv[3]);
    if (cmd == L"devchange" && argc == 2) return DeviceChange();
    Write(L"usage: qexlogin dialog CAPTION MS | type CAPTION TEXT | devchange\n");
    return kUsage;
}
