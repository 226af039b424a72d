// The smallest Win32 program with a window: a modal dialog built from an
// in-memory template, closed by WM_CLOSE. Its start-up time and memory
// under Wine are what any dialog program pays before doing anything; the
// client's figures are read beside them. With --libs it first starts the
// system libraries the client starts before its dialog (common controls
// version 6, Windows Sockets 1.1, COM with OLE), so that what is left of the
// client's figures is the client's own.
// Usage: bare_dialog.exe [--libs] [ready-file]   (the file is written once
// the dialog is initialised)
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>

namespace {

const char* g_readyFile = nullptr;

INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        if (g_readyFile) {
            FILE* f = std::fopen(g_readyFile, "w");
            if (f) {
                std::fputs("ready\n", f);
                std::fclose(f);
            }
        }
        return TRUE;
    case WM_CLOSE:
        EndDialog(dlg, 0);
        return TRUE;
    }
    return FALSE;
}

// DLGTEMPLATE followed by its three variable-length arrays (menu, class,
// title), each WORD-aligned; no controls.
struct Template {
    DLGTEMPLATE head;
    WORD menu;
    WORD windowClass;
    WCHAR title[12];
};

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--libs") == 0) {
        --argc;
        ++argv;
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        WSADATA wsa;
        WSAStartup(MAKEWORD(1, 1), &wsa);
        OleInitialize(nullptr);
    }
    if (argc > 1) g_readyFile = argv[1];
    Template t;
    std::memset(&t, 0, sizeof(t));
    t.head.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_CENTER;
    t.head.cdit = 0;
    t.head.cx = 200;
    t.head.cy = 100;
    const wchar_t title[] = L"bare dialog";
    std::memcpy(t.title, title, sizeof(title));
    INT_PTR r = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &t.head, nullptr, DialogProc, 0);
    return r == -1 ? 1 : 0;
}
