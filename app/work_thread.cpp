// Winsock's header must come before windows.h.
#include "bridge/bridge_host.h"

#include "app/qextivara_dlg.h"
#include "app/worker_threads.h"
#include "framework/application.h"
#include "core/win/win_platform.h"
#include "service/soap_calls.h"

// Serves the browsers on 127.0.0.1:10102 until exit. When the bridge cannot
// start, the thread stays idle for the rest of the run. The dialog object
// outlives every worker thread (see CQEXTivaraApp), so the main window is
// always there to report to.
int CWorkThread::Run() {
    CQEXTivaraDlg& dlg = *m_pMainDlg;
    // A hung seal service must not hold the bridge (and every page behind
    // it) for ever; a call that runs out of time says so in the list.
    qex::SoapSealService service(qex::kAnsweredCallTimeouts, static_cast<qex::IMainWindow*>(&dlg));
    // The login a request may need makes its service calls with the same
    // bounds as the request's own.
    qex::bridge::BridgeHost host(
        dlg, dlg, service, [&dlg, &service](const std::string& text) { return dlg.LoginAndSign(text, &service); },
        qex::fw::ProgramName());
    qex::WinCodePage codePage;
    qex::bridge::ServeSignRequests(host, codePage, dlg.BridgeGate());
    while (dlg.IsRunning()) Sleep(1000);
    return 0;
}
