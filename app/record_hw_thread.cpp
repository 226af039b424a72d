#include "app/worker_threads.h"

#include "app/qextivara_dlg.h"
#include "handwriting/dialog_qr.h"
#include "handwriting/wait_pass.h"
#include "service/soap_calls.h"

namespace {

// The main window as the wait thread uses it.
class WaitHost : public qex::hw::IWaitHost {
public:
    explicit WaitHost(CQEXTivaraDlg& dlg) : dlg_(dlg) {}

    void AppendStatus(const std::string& line) override { dlg_.AppendStatus(line); }
    bool HWRequested() override { return dlg_.IsHWRequested(); }
    void ClearHWRequested() override { dlg_.SetHWRequested(false); }
    std::string GetHWResult() override { return dlg_.GetHWResult(); }
    void SetHWResult(const std::string& url) override { dlg_.SetHWResult(url); }
    void ShowMainWindow() override {
        dlg_.ShowMainWindow(true);
        SetForegroundWindow(dlg_.Hwnd());
    }
    void HideMainWindow() override { dlg_.ShowMainWindow(false); }
    void StatusReport(const std::string& text) override { dlg_.ReportNotice(text); }
    int RunCaptureDialog(const std::string& captureId, const std::string& qrImage, std::string& url) override {
        return qex::hw::RunCaptureDialog(captureId, qrImage, url);
    }

private:
    CQEXTivaraDlg& dlg_;
};

}  // namespace

// Looks at the request flag once a second and runs a capture when the
// bridge has asked for one. The dialog object outlives every worker thread
// (see CQEXTivaraApp), so the main window is always there to report to.
int CRecordHWThread::Run() {
    WaitHost host(*m_pMainDlg);
    qex::SoapSealService service(qex::hw::kCaptureTimeouts);
    while (m_pMainDlg->IsRunning()) {
        if (qex::hw::RunWaitPass(host, service) == qex::hw::PassOutcome::kIdle) {
            Sleep(qex::hw::kWaitPassIntervalMs);
        }
    }
    return 0;
}
