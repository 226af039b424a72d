#include "app/qextivara_app.h"

#include "app/qextivara_dlg.h"
#include "app/resource.h"
#include "core/shell_texts.h"

#include "core/win/owners.h"

#include <commctrl.h>

namespace {

constexpr char kMutexName[] = "QEXTIVARA";
constexpr char kRegistryKey[] = "应用程序向导生成的本地应用程序";

CQEXTivaraApp theApp;

}  // namespace

CQEXTivaraApp::CQEXTivaraApp() = default;

// The mutex is left to the system at process end.
CQEXTivaraApp::~CQEXTivaraApp() = default;

BOOL CQEXTivaraApp::InitInstance() {
    SECURITY_ATTRIBUTES sa = {};
    sa.nLength = sizeof(sa);
    sa.lpSecurityDescriptor = nullptr;
    sa.bInheritHandle = TRUE;
    qex::win::UniqueHandle mutex(CreateMutexA(&sa, FALSE, kMutexName));
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        MessageBoxA(nullptr, qex::text::kAlreadyRunning, qex::text::kAppCaption, MB_OK | MB_ICONWARNING);
        return FALSE;  // the duplicate's handle goes with its owner
    }
    // Held for the life of the process; the system gives it back at the end.
    m_hMutex = mutex.Detach();

    INITCOMMONCONTROLSEX icc = {};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&icc);

    Application::InitInstance();

    if (!qex::fw::SocketInit()) {
        qex::fw::MessageBoxFromString(IDP_SOCKETS_INIT_FAILED);
        return FALSE;
    }
    qex::fw::EnableControlContainer();
    SetRegistryKey(kRegistryKey);

    // The dialog object is never destroyed: the worker threads keep a
    // pointer to it and are not waited for, so it has to outlive them. The
    // process ends right after this routine (RunApplication), which stops
    // the threads before anything is torn down.
    CQEXTivaraDlg* dlg = new CQEXTivaraDlg;
    SetMainWindow(dlg);
    dlg->DoModal();
    return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    qex::fw::RunApplication(instance);
}
