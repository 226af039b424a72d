// The bridge's view of the main window: the shared state, the status list
// and the login procedure, put together for the listener and the sign flow.
// Portable: the Windows bridge thread and the native tests both use it.
#pragma once

#include <functional>
#include <string>

#include "bridge/listener.h"
#include "bridge/sign_handler.h"
#include "core/main_state.h"
#include "core/ui.h"
#include "service/seal_service.h"

namespace qex::bridge {

using LoginAndSignFn = std::function<std::string(const std::string& text)>;

class BridgeHost : public IListenerHost, public IBridgeHost {
public:
    // `service` serves the seal details of every request; `loginAndSign`
    // runs the login procedure of the main window; `programName` is the
    // caption of the program's standard message box (the program file's
    // name, as the framework has it).
    BridgeHost(MainState& state, IMainWindow& window, ISealService& service, LoginAndSignFn loginAndSign,
               std::string programName)
        : state_(state),
          window_(window),
          service_(service),
          loginAndSign_(std::move(loginAndSign)),
          programName_(std::move(programName)) {}

    void AppendStatus(const std::string& line) override { window_.AppendStatus(line); }
    void ShowSetupError(const std::string& text) override;
    bool IsRunning() override { return state_.IsRunning(); }

    bool NeedHW() override { return state_.IsNeedHW(); }
    std::string GetHWResult() override { return state_.GetHWResult(); }
    void RequestHandwriting() override { state_.SetHWRequested(true); }
    void ClearHWResultIf(const std::string& used) override { state_.ClearHWResultIf(used); }
    std::string GetSealImgURL() override { return state_.GetSealImgURL(); }
    std::string GetCertHashBase64() override { return state_.GetCertHashBase64(); }
    bool QuerySealInfo(std::string& time, std::string& user, std::string& sealName) override;
    std::string LoginAndSign(const std::string& text) override { return loginAndSign_(text); }

private:
    MainState& state_;
    IMainWindow& window_;
    ISealService& service_;
    LoginAndSignFn loginAndSign_;
    std::string programName_;
};

// The bridge thread's body: serves sign requests on 127.0.0.1:10102 until
// exit, through the origin gate. With the gate on, the listener reads each
// request's whole head (the Origin or Referer may lie beyond 500 bytes).
// Returns false when the bridge could not start.
bool ServeSignRequests(BridgeHost& host, ICodePage& codePage, const OriginGate& gate,
                       ListenerOptions options = {});

}  // namespace qex::bridge
