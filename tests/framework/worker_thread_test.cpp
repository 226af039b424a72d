#include "framework/worker_thread.h"

#include <gtest/gtest.h>

namespace qex::fw {
namespace {

class Recorder : public WorkerThread {
public:
    BOOL InitInstance() override {
        initThread = GetCurrentThreadId();
        return init;
    }
    int Run() override {
        ran = seenValue;
        return 7;
    }
    int ExitInstance() override { return 9; }

    BOOL init = TRUE;
    int seenValue = 0;  // written by the creator while the thread is suspended
    volatile int ran = -1;
    DWORD initThread = 0;
};

DWORD WaitExitCode(WorkerThread* t) {
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t->Handle(), 30000));
    DWORD code = 0;
    GetExitCodeThread(t->Handle(), &code);
    return code;
}

TEST(WorkerThread, StartsSuspendedAndRunsAfterResume) {
    Recorder* t = BeginThread<Recorder>(THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(nullptr, t);
    t->seenValue = 42;
    EXPECT_EQ(THREAD_PRIORITY_NORMAL, GetThreadPriority(t->Handle()));
    EXPECT_EQ(1u, t->ResumeThread());  // it was suspended once
    EXPECT_EQ(7u, WaitExitCode(t));
    EXPECT_EQ(42, t->ran);
    EXPECT_EQ(t->ThreadId(), t->initThread);
    delete t;
}

TEST(WorkerThread, FailedInitInstanceSkipsRun) {
    Recorder* t = BeginThread<Recorder>(THREAD_PRIORITY_BELOW_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(nullptr, t);
    t->init = FALSE;
    EXPECT_EQ(THREAD_PRIORITY_BELOW_NORMAL, GetThreadPriority(t->Handle()));
    t->ResumeThread();
    EXPECT_EQ(9u, WaitExitCode(t));
    EXPECT_EQ(-1, t->ran);
    delete t;
}

TEST(WorkerThread, NotSuspendedRunsAtOnce) {
    Recorder* t = BeginThread<Recorder>(THREAD_PRIORITY_NORMAL, 0, 0);
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(7u, WaitExitCode(t));
    delete t;
}

}  // namespace
}  // namespace qex::fw
