#include "app/worker_threads.h"

#include "app/qextivara_dlg.h"
#include "handwriting/dialog_qr.h"
#include "handwriting/hw_texts.h"
#include "handwriting/wait_pass.h"
#include "service/soap_calls.h"

// Looks at the request flag once a second and runs a capture when the
// bridge has asked for one. The dialog object outlives every worker thread
// (see CQEXTivaraApp), so the main window is always there to report to.
int CRecordHWThread::Run() {
    CQEXTivaraDlg& dlg = *m_pMainDlg;
    qex::SoapSealService service(qex::hw::kCaptureTimeouts);
    while (dlg.IsRunning()) {
        qex::hw::PassOutcome outcome = qex::hw::PassOutcome::kIdle;
        // A pass that runs out of memory is given up, not the thread: the
        // page's next request starts the next one.
        try {
            outcome = qex::hw::RunWaitPass(dlg, service);
        } catch (...) {
            dlg.SetHWRequested(false);
            try {
                dlg.StatusReport(qex::hw::text::kGivenUp);
            } catch (...) {
            }
        }
        if (outcome == qex::hw::PassOutcome::kIdle) Sleep(qex::hw::kWaitPassIntervalMs);
    }
    return 0;
}
