// The application object of a dialog program: one instance per process,
// whose InitInstance does the program's whole work (it runs the main dialog
// modally) and returns FALSE so that the process ends right after it.
#pragma once

#include "core/win/win32.h"

#include <string>

namespace qex::fw {

class Dialog;

[[noreturn]] void RunApplication(HINSTANCE instance);

class Application {
public:
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Start-up. The base version only records the instance; overrides call it.
    virtual BOOL InitInstance();
    // Run when InitInstance returned FALSE; its result is the exit code.
    virtual int ExitInstance();

    HINSTANCE Instance() const { return m_hInstance; }
    // The registry key name programs of this kind keep settings under; the
    // client stores nothing there, it only names it.
    void SetRegistryKey(const std::string& name) { m_strRegistryKey = name; }
    const std::string& RegistryKey() const { return m_strRegistryKey; }
    // The application's main window: set before the main dialog runs, so
    // that it is the main window from its first message on. Dialogs without
    // a parent are owned by it, and threads started later inherit it.
    void SetMainWindow(Dialog* window) { m_pMainWnd = window; }
    HWND MainWindow() const;
    // The program's name: the module file name without folder and extension.
    std::string AppName() const;

    static Application* Current();

private:
    friend void RunApplication(HINSTANCE);
    HINSTANCE m_hInstance = nullptr;
    Dialog* m_pMainWnd = nullptr;
    std::string m_strRegistryKey;
};

// WinMain's body: runs the one Application's start-up and then ends the
// process at once with ExitProcess (the exit code is ExitInstance's). Worker threads are stopped by the system
// there, before any object is destroyed, so none of them can reach an object
// that start-up created and that a destructor would take away. Never returns.
[[noreturn]] void RunApplication(HINSTANCE instance);

// Windows Sockets start-up (version 1.1, enough for the blocking sockets the
// client uses). False when the library cannot be initialised.
bool SocketInit();

// Lets this thread host ActiveX controls: OLE for this (the main) thread.
bool EnableControlContainer();

// The calling thread's main window: for a thread started as a WorkerThread
// the application's main window at the time the thread was created (it is
// inherited), for any other thread the application's main window.
HWND ThreadMainWindow();

// A message box owned by the thread's main window, with string resource
// `id` as its text and the program's name as its caption; an OK box without
// an icon gets the exclamation icon. Returns the button id.
int MessageBoxFromString(UINT id, UINT type = MB_OK);

// The program's name as its standard message boxes show it: the
// application's AppName, or the name of the process's program file where
// no Application runs (a test of a window without the program around it).
std::string ProgramName();

// String resource `id` of the program, empty when there is none.
std::string LoadResString(UINT id);

}  // namespace qex::fw
