// The client's two worker threads. Both are created suspended by the main
// dialog, get m_pMainDlg and are then resumed; they run until the process
// ends and are never waited for.
#pragma once

#include "framework/worker_thread.h"

class CQEXTivaraDlg;

// The local browser bridge.
class CWorkThread : public qex::fw::WorkerThread {
public:
    BOOL InitInstance() override { return TRUE; }
    int Run() override;

    CQEXTivaraDlg* m_pMainDlg = nullptr;
};

// The handwriting wait thread.
class CRecordHWThread : public qex::fw::WorkerThread {
public:
    BOOL InitInstance() override { return TRUE; }
    int Run() override;

    CQEXTivaraDlg* m_pMainDlg = nullptr;
};
