#include "login/login_command.h"

#include <gtest/gtest.h>

#include "core/main_state.h"
#include "core/texts.h"
#include "login/browser_launch.h"
#include "login/login_texts.h"
#include "login_fakes.h"
#include "window_fakes.h"

namespace qex::test {
namespace {

using Lines = std::vector<std::string>;

class LoginService : public FakeSealService {
public:
    std::string loginQueryReply = "QEXRET@@@@http://seal.example/web?u=1@@@@0";
    std::vector<std::string> queries;
    std::string QueryUkNameByCerBase64(const std::string& arg0) override {
        queries.push_back(arg0);
        return loginQueryReply;
    }
};

class LoginCommandTest : public ::testing::Test {
protected:
    LoginCommandTest() {
        state.ResetForStart();
        state.SetHWResult("http://hw/old.png");
        state.SetWebsiteURL("http://seal.example/site");
        window.lines = {"earlier line"};
    }
    void Press() {
        RunLoginCommand(LoginCommandParts{
            state, window, window, service,
            [this](const std::string& text, const std::function<void()>& whenStarted) {
                if (loginBusy) {
                    window.AppendStatus(text::kLoginBusy);
                    return std::string();
                }
                whenStarted();
                signedTexts.push_back(text);
                window.AppendStatus("procedure line");
                if (!loginWorks) return std::string();
                state.SetCertHashBase64("CERTHASH=");
                return std::string("SIGNATURE");
            },
            [this](const std::string& reply) { logged.push_back(reply); }});
    }

    MainState state;
    FakeMainWindow window;
    LoginService service;
    bool loginWorks = true;
    bool loginBusy = false;  // another run holds the login procedure
    Lines signedTexts, logged;
};

TEST_F(LoginCommandTest, SuccessfulLoginOpensThePageAndEndsLoggedInAndHidden) {
    Press();
    EXPECT_EQ(signedTexts, Lines{"1"});
    EXPECT_EQ(service.queries, Lines{"3@@@@CERTHASH="});
    EXPECT_EQ(logged, Lines{service.loginQueryReply});
    EXPECT_EQ(window.launched, Lines{"http://seal.example/web?u=1"});
    EXPECT_TRUE(window.notices.empty());
    EXPECT_EQ(window.info, std::string(text::kVisitThisAddress) + "http://seal.example/web?u=1");
    EXPECT_EQ(window.lines, (Lines{"procedure line", text::kLoginSucceeded}));
    EXPECT_EQ(window.title, "当前状态：已登录");
    EXPECT_EQ(window.tray, kTrayLoggedIn);
    EXPECT_FALSE(window.visible);
    EXPECT_FALSE(state.IsNeedHW());
    EXPECT_EQ(state.GetHWResult(), "");
    // The closing steps, in their order.
    const Lines tail(window.events.end() - 5, window.events.end());
    EXPECT_EQ(tail, (Lines{"hide", "title", std::string("line:") + text::kLoginSucceeded, "tray1", "hide"}));
    EXPECT_EQ(window.events.front(), "reset");
}

TEST_F(LoginCommandTest, PressingItWhileLoggedInOnlyHidesTheWindow) {
    window.title = "当前状态：已登录";
    Press();
    EXPECT_EQ(window.events, Lines{"hide"});
    EXPECT_TRUE(signedTexts.empty());
    EXPECT_EQ(state.GetHWResult(), "http://hw/old.png");
}

TEST_F(LoginCommandTest, FailedKeyLoginStopsAfterItsOwnLines) {
    loginWorks = false;
    Press();
    EXPECT_EQ(window.lines, Lines{"procedure line"});
    EXPECT_TRUE(service.queries.empty());
    EXPECT_TRUE(logged.empty());
    EXPECT_EQ(window.title, "版本：V1.8    当前状态：未登录");
    EXPECT_TRUE(window.visible);
    EXPECT_EQ(window.tray, -1);
}

TEST_F(LoginCommandTest, ReplyWithoutTheMarkerWarnsOpensTheSiteAndStillLogsIn) {
    for (const char* reply : {"", "QEXERROR@@@@nobody"}) {
        FakeMainWindow fresh;
        window = fresh;
        service.loginQueryReply = reply;
        Press();
        EXPECT_EQ(window.boxes, Lines{std::string(text::kSealCaption) + "|" + text::kAutoLoginFailed + "|48"});
        EXPECT_EQ(window.lines, (Lines{"procedure line", text::kAutoLoginFailed, text::kLoginSucceeded}));
        EXPECT_EQ(window.launched, Lines{"http://seal.example/site"});
        EXPECT_EQ(window.title, text::kTitleLoggedIn);
        EXPECT_FALSE(window.visible);
        EXPECT_EQ(logged.back(), reply);
    }
}

TEST_F(LoginCommandTest, FailedAutomaticLoginWithoutAWebSiteOpensNothing) {
    state.SetWebsiteURL("");
    service.loginQueryReply = "";
    Press();
    EXPECT_TRUE(window.launched.empty());
    EXPECT_EQ(window.title, text::kTitleLoggedIn);
}

TEST_F(LoginCommandTest, MarkerAnywhereInTheReplyIsAccepted) {
    service.loginQueryReply = "xxQEXRETyy@@@@http://page@@@@1";
    Press();
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(window.launched, Lines{"http://page"});
    EXPECT_TRUE(state.IsNeedHW());
}

TEST_F(LoginCommandTest, NoUrlInAnyCaseOpensNothingAndKeepsTheInfoBox) {
    window.info = "old info";
    service.loginQueryReply = "QEXRET@@@@nourl@@@@1";
    Press();
    EXPECT_TRUE(window.launched.empty());
    EXPECT_EQ(window.info, "old info");
    EXPECT_TRUE(state.IsNeedHW());
    EXPECT_EQ(window.title, text::kTitleLoggedIn);
}

TEST_F(LoginCommandTest, HandwritingFlagIsOneIgnoringCaseAndAnythingElseClearsIt) {
    const std::pair<const char*, bool> cases[] = {
        {"QEXRET@@@@NOURL@@@@1", true}, {"QEXRET@@@@NOURL@@@@0", false},
        {"QEXRET@@@@NOURL@@@@", false}, {"QEXRET@@@@NOURL", false}, {"QEXRET@@@@NOURL@@@@11", false}};
    for (const auto& c : cases) {
        state.SetNeedHW(!c.second);
        window.title = text::kTitleLoggedOut;
        service.loginQueryReply = c.first;
        Press();
        EXPECT_EQ(state.IsNeedHW(), c.second) << c.first;
    }
}

TEST_F(LoginCommandTest, BrowserThatDoesNotStartBringsTheUrlNotice) {
    window.launchWorks = false;
    Press();
    EXPECT_EQ(window.notices, Lines{std::string(text::kUrlNoticeCaption) + "|http://seal.example/web?u=1"});
    EXPECT_EQ(window.info, std::string(text::kVisitThisAddress) + "http://seal.example/web?u=1");
    EXPECT_EQ(window.title, text::kTitleLoggedIn);
}

// ---- which program LaunchBrowser starts ----

TEST(BrowserProgram, RegisteredCommandIsCutToItsQuotedProgram) {
    const std::string command = "\"C:\\Program Files\\Browser\\browser.exe\" --single-argument %1";
    EXPECT_EQ(BrowserProgram(&command, "C:\\windows\\system32"), "C:\\Program Files\\Browser\\browser.exe");
    const std::string unquoted = "C:\\browser.exe %1";
    EXPECT_EQ(BrowserProgram(&unquoted, "C:\\windows"), "");
    const std::string half = "\"C:\\browser.exe %1";
    EXPECT_EQ(BrowserProgram(&half, "C:\\windows"), "");
}

TEST(BrowserProgram, WithoutARegistrationInternetExplorerOnTheSystemDrive) {
    EXPECT_EQ(BrowserProgram(nullptr, "D:\\WINDOWS\\system32"),
              "D:\\Program Files\\Internet Explorer\\iexplore.exe");
}

TEST(BrowserProgram, ExitedOrStillRunningCountsAsStarted) {
    EXPECT_TRUE(BrowserStarted(LaunchWait::kExited));
    EXPECT_TRUE(BrowserStarted(LaunchWait::kStillRunning));
    EXPECT_FALSE(BrowserStarted(LaunchWait::kNoProcess));
    EXPECT_FALSE(BrowserStarted(LaunchWait::kFailed));
}

}  // namespace
}  // namespace qex::test
