#include "framework/worker_thread.h"

#include <process.h>

#include "framework/application.h"

namespace qex::fw {
namespace {

thread_local WorkerThread* t_current = nullptr;

// The thread's exit code when its work ended with an exception.
constexpr unsigned kFailedExitCode = 1;

}  // namespace

WorkerThread::~WorkerThread() = default;

bool WorkerThread::CreateThread(DWORD flags, unsigned stackSize, LPSECURITY_ATTRIBUTES security) {
    if (m_hThread) return false;
    if (!m_hMainWnd) {
        if (const Application* app = Application::Current()) m_hMainWnd = app->MainWindow();
    }
    unsigned id = 0;
    // _beginthreadex rather than CreateThread: the thread uses the C runtime.
    const uintptr_t h = _beginthreadex(security, stackSize, &WorkerThread::Entry, this,
                                       flags & CREATE_SUSPENDED, &id);
    if (h == 0) return false;
    m_hThread.Reset(reinterpret_cast<HANDLE>(h));
    m_nThreadID = id;
    return true;
}

bool WorkerThread::SetThreadPriority(int priority) {
    return m_hThread && ::SetThreadPriority(m_hThread.Get(), priority);
}

DWORD WorkerThread::ResumeThread() {
    return m_hThread ? ::ResumeThread(m_hThread.Get()) : static_cast<DWORD>(-1);
}

WorkerThread* WorkerThread::Current() {
    return t_current;
}

BOOL WorkerThread::InitInstance() {
    return FALSE;
}

int WorkerThread::Run() {
    return 0;
}

int WorkerThread::ExitInstance() {
    return 0;
}

unsigned __stdcall WorkerThread::Entry(void* self) {
    WorkerThread* thread = static_cast<WorkerThread*>(self);
    t_current = thread;
    // An exception must not leave the thread (that would end the process
    // through terminate); it ends the thread with a failure code instead.
    try {
        const int code = thread->InitInstance() ? thread->Run() : thread->ExitInstance();
        return static_cast<unsigned>(code);
    } catch (...) {
        return kFailedExitCode;
    }
}

}  // namespace qex::fw
