// A stand-in with the client's main window layout, for trying the driver
// without the client: its arguments become status lines; the login button
// appends "clicked"; the help link, when the first argument is "--help",
// is visible and opens http://help.example/ through the registered handler;
// a second copy shows a warning box and ends.
#include "core/win/win32.h"
#include <shellapi.h>

namespace {

int g_argc = 0;
wchar_t** g_argv = nullptr;

void Append(HWND dlg, const wchar_t* line) {
    SendDlgItemMessageW(dlg, 1001, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(line));
}

INT_PTR CALLBACK Proc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG: {
        int first = 1;
        if (g_argc > 1 && lstrcmpW(g_argv[1], L"--help") == 0) {
            ShowWindow(GetDlgItem(dlg, 1005), SW_SHOW);
            first = 2;
        }
        for (int i = first; i < g_argc; ++i) Append(dlg, g_argv[i]);
        SetWindowPos(dlg, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wp) == 1) Append(dlg, L"clicked");
        if (LOWORD(wp) == 1005) ShellExecuteW(nullptr, L"open", L"http://help.example/", nullptr, nullptr, SW_HIDE);
        if (LOWORD(wp) == IDCANCEL) EndDialog(dlg, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    g_argv = CommandLineToArgvW(GetCommandLineW(), &g_argc);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"QEXFAKECLIENT");
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        MessageBoxW(nullptr, L"已经启动", L"假客户端", MB_ICONWARNING | MB_OK);
        CloseHandle(mutex);
        return 0;
    }
    DialogBoxParamW(instance, MAKEINTRESOURCEW(102), nullptr, Proc, 0);
    return 0;
}
