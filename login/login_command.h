// The login command (button "登录" and Enter): the key login, the automatic
// login at the sealing web site, and the logged-in state.
#pragma once

#include <functional>
#include <string>

#include "core/main_state.h"
#include "core/ui.h"
#include "service/seal_service.h"

namespace qex {

// What the command needs of the main window beyond IMainWindow.
class ILoginCommandWindow {
public:
    virtual ~ILoginCommandWindow() = default;
    virtual void ResetStatusList() = 0;                  // LB_RESETCONTENT
    virtual void ShowInfo(const std::string& text) = 0;  // m_strInfo, pushed to the box
    virtual bool LaunchBrowser(const std::string& url) = 0;
    // The URL notice dialog, modal; its result is of no interest.
    virtual void ShowUrlNotice(const std::string& caption, const std::string& url) = 0;
};

struct LoginCommandParts {
    MainState& state;
    IMainWindow& window;
    ILoginCommandWindow& command;
    ISealService& service;
    // The login procedure on `text`; the second argument runs once the run
    // is sure to go ahead (SealLogin::LoginAndSign's whenStarted).
    std::function<std::string(const std::string&, const std::function<void()>&)> loginAndSign;
    std::function<void(const std::string&)> appendLog;  // the login log file
};

void RunLoginCommand(const LoginCommandParts& parts);

}  // namespace qex
