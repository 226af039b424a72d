// Worker threads as objects: a thread is created suspended, the creator
// fills its fields, then resumes it. The thread runs InitInstance and, when
// that returns TRUE, Run; otherwise ExitInstance. Thread objects of the
// client live until the process ends and are never deleted.
#pragma once

#include "core/win/owners.h"

namespace qex::fw {

class WorkerThread {
public:
    WorkerThread() = default;
    virtual ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts the system thread (with CREATE_SUSPENDED it waits for
    // ResumeThread). False when the system refuses. The thread inherits the
    // application's main window as it is now, unless one was set before.
    bool CreateThread(DWORD flags = CREATE_SUSPENDED, unsigned stackSize = 0,
                      LPSECURITY_ATTRIBUTES security = nullptr);
    bool SetThreadPriority(int priority);
    DWORD ResumeThread();

    HANDLE Handle() const { return m_hThread.Get(); }
    DWORD ThreadId() const { return m_nThreadID; }

    // The window that dialogs without a parent are owned by on this thread.
    HWND MainWindow() const { return m_hMainWnd; }
    void SetMainWindow(HWND window) { m_hMainWnd = window; }

    // The WorkerThread object of the calling thread; null on threads that
    // were not started as one (the main thread among them).
    static WorkerThread* Current();

    virtual BOOL InitInstance();
    virtual int Run();
    virtual int ExitInstance();

private:
    static unsigned __stdcall Entry(void* self);

    win::UniqueHandle m_hThread;
    DWORD m_nThreadID = 0;
    HWND m_hMainWnd = nullptr;
};

// Creates a thread object of class T and its system thread with the given
// priority, in the given state; nullptr when the thread cannot be created.
template <class T>
T* BeginThread(int priority = THREAD_PRIORITY_NORMAL, unsigned stackSize = 0,
               DWORD flags = CREATE_SUSPENDED, LPSECURITY_ATTRIBUTES security = nullptr) {
    T* thread = new T;
    // Created suspended in any case, so the priority is set before it runs.
    if (!thread->CreateThread(flags | CREATE_SUSPENDED, stackSize, security)) {
        delete thread;
        return nullptr;
    }
    thread->SetThreadPriority(priority);
    if (!(flags & CREATE_SUSPENDED)) thread->ResumeThread();
    return thread;
}

}  // namespace qex::fw
