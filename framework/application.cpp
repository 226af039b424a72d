#include "core/win/win32.h"

#include "framework/application.h"

#include <cstdio>
#include <ole2.h>

#include "framework/dialog.h"
#include "framework/worker_thread.h"

namespace qex::fw {
namespace {

Application* g_app = nullptr;

}  // namespace

Application::Application() {
    g_app = this;
}

Application::~Application() {
    if (g_app == this) g_app = nullptr;
}

BOOL Application::InitInstance() {
    return TRUE;
}

int Application::ExitInstance() {
    return 0;
}

Application* Application::Current() {
    return g_app;
}

HWND Application::MainWindow() const {
    return m_pMainWnd ? m_pMainWnd->Hwnd() : nullptr;
}

HWND ThreadMainWindow() {
    if (const WorkerThread* thread = WorkerThread::Current()) return thread->MainWindow();
    return g_app ? g_app->MainWindow() : nullptr;
}

namespace {

// A module's file name without folder and extension.
std::string ModuleBaseName(HMODULE module) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    std::string name(path);
    const std::size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

}  // namespace

std::string Application::AppName() const { return ModuleBaseName(m_hInstance); }

std::string ProgramName() { return g_app ? g_app->AppName() : ModuleBaseName(nullptr); }

void RunApplication(HINSTANCE instance) {
    int code = 0;
    if (g_app) {
        g_app->m_hInstance = instance;
        // Nothing may unwind out of WinMain; a failure that gets this far
        // ends the process with a failure code instead of terminate().
        try {
            code = g_app->InitInstance() ? 0 : g_app->ExitInstance();
        } catch (...) {
            code = 1;
        }
    }
    std::fflush(nullptr);
    ExitProcess(static_cast<UINT>(code));
}

bool SocketInit() {
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

bool EnableControlContainer() {
    const HRESULT hr = OleInitialize(nullptr);
    return SUCCEEDED(hr);
}

std::string LoadResString(UINT id) {
    char buf[1024] = {};
    const HINSTANCE inst = g_app ? g_app->Instance() : GetModuleHandleA(nullptr);
    const int n = LoadStringA(inst, id, buf, static_cast<int>(sizeof buf));
    return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

int MessageBoxFromString(UINT id, UINT type) {
    if ((type & MB_ICONMASK) == 0 && ((type & MB_TYPEMASK) == MB_OK || (type & MB_TYPEMASK) == MB_OKCANCEL)) {
        type |= MB_ICONEXCLAMATION;
    }
    const std::string caption = ProgramName();
    return MessageBoxOwned(ThreadMainWindow(), LoadResString(id).c_str(), caption.c_str(), type);
}

}  // namespace qex::fw
