// Two runs at once: the main thread and the bridge thread. A status line
// from the bridge thread is a synchronous send that waits for the main
// thread; this UI plays that rule, so a lock held across such a send while
// the main thread waits for it would hang the test (caught by the ceilings).
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <thread>

#include "../token/fake_skf.h"
#include "core/main_state.h"
#include "login/login_command.h"
#include "login/login_texts.h"
#include "login/seal_login.h"
#include "login_fakes.h"
#include "window_fakes.h"

namespace qex::test {
namespace {

using namespace std::chrono_literals;
constexpr auto kCeiling = 20s;

class MainThreadUi : public IKeyUi {
public:
    explicit MainThreadUi(std::thread::id mainThread) : m_main(mainThread) {}

    void AppendStatus(const std::string& line) override {
        std::unique_lock<std::mutex> g(m_lock);
        if (std::this_thread::get_id() == m_main) {
            m_lines.push_back(line);
            return;
        }
        m_pending.push_back(line);
        m_changed.notify_all();
        m_changed.wait(g, [&] { return m_pending.empty(); });  // like SendMessage
    }
    int ShowMessage(const std::string&, const std::string&, unsigned) override { return kIdOk; }

    bool WaitForPendingSend() {
        std::unique_lock<std::mutex> g(m_lock);
        return m_changed.wait_for(g, kCeiling, [&] { return !m_pending.empty(); });
    }
    // The main thread's message loop handling the waiting sends.
    void DeliverPending() {
        std::lock_guard<std::mutex> g(m_lock);
        for (auto& l : m_pending) m_lines.push_back(l);
        m_pending.clear();
        m_changed.notify_all();
    }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> g(m_lock);
        return m_lines;
    }

private:
    std::thread::id m_main;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::string> m_pending;
    std::vector<std::string> m_lines;
};

struct World {
    World() { state.ResetForStart(); }
    FakeSkf skf;
    MainThreadUi ui{std::this_thread::get_id()};
    FakeDigestModule digest;
    FakePinPrompt pin;
    FakeSealService service;
    MainState state;
    SealLogin login{LoginParts{ui, skf, digest, pin, service, state}};
};

TEST(SealLoginOverlap, MainThreadDoesNotWaitForABridgeRunThatWaitsForIt) {
    World w;
    w.service.loginCheckReply = "";  // the bridge run reports while holding the run
    auto bridge = std::async(std::launch::async, [&] {
        return w.login.LoginAndSign("page", RunPolicy::kWaitIfBusy);
    });
    ASSERT_TRUE(w.ui.WaitForPendingSend());

    // The login command meanwhile, on the main thread: it must come back.
    const std::string mainResult = w.login.LoginAndSign("1", RunPolicy::kFailIfBusy);
    EXPECT_EQ(mainResult, "");

    w.ui.DeliverPending();
    ASSERT_EQ(bridge.wait_for(kCeiling), std::future_status::ready);
    EXPECT_EQ(bridge.get(), "");
    EXPECT_EQ(w.ui.Lines(),
              (std::vector<std::string>{text::kLoginBusy, text::kSealServerUnreachable}));
    EXPECT_EQ(w.service.loginChecks.size(), 1u);
}

// The login command while a sign request holds the login procedure (its PIN
// dialog is up): the command is refused before it touches anything, so the
// list keeps the request's lines and the handwriting the page is about to
// use is not forgotten.
TEST(SealLoginOverlap, LoginCommandRefusedByABridgeRunLeavesListAndHandwriting) {
    World w;
    std::promise<void> dialogUp, release;
    std::shared_future<void> released = release.get_future().share();
    w.pin.whileOpen = [&] {
        dialogUp.set_value();
        released.wait();
    };
    auto bridge = std::async(std::launch::async, [&] {
        return w.login.LoginAndSign("page", RunPolicy::kWaitIfBusy);
    });
    ASSERT_EQ(dialogUp.get_future().wait_for(kCeiling), std::future_status::ready);

    w.state.SetHWResult("http://hw/1.png");
    FakeMainWindow window;
    window.lines = {"the request's line"};
    RunLoginCommand(LoginCommandParts{
        w.state, window, window, w.service,
        [&](const std::string& text, const std::function<void()>& whenStarted) {
            return w.login.LoginAndSign(text, RunPolicy::kFailIfBusy, nullptr, whenStarted);
        },
        [](const std::string&) {}});
    EXPECT_EQ(window.lines, std::vector<std::string>{"the request's line"});
    EXPECT_EQ(w.ui.Lines(), std::vector<std::string>{text::kLoginBusy});
    EXPECT_EQ(w.state.GetHWResult(), "http://hw/1.png");
    EXPECT_EQ(window.title, "版本：V1.8    当前状态：未登录");

    release.set_value();
    ASSERT_EQ(bridge.wait_for(kCeiling), std::future_status::ready);
    EXPECT_FALSE(bridge.get().empty());
}

TEST(SealLoginOverlap, BridgeRunWaitsForTheMainRunAndUsesItsPin) {
    World w;
    std::promise<void> dialogUp, release;
    std::shared_future<void> released = release.get_future().share();
    w.pin.whileOpen = [&] {
        dialogUp.set_value();
        released.wait();
    };
    auto mainRun = std::async(std::launch::async, [&] {
        return w.login.LoginAndSign("1", RunPolicy::kFailIfBusy);
    });
    ASSERT_EQ(dialogUp.get_future().wait_for(kCeiling), std::future_status::ready);

    auto bridge = std::async(std::launch::async, [&] {
        return w.login.LoginAndSign("page", RunPolicy::kWaitIfBusy);
    });
    // The bridge run is held back: nothing of it reaches the key while the
    // PIN dialog of the other run is open.
    EXPECT_EQ(bridge.wait_for(200ms), std::future_status::timeout);
    EXPECT_EQ(w.digest.loads, 1);

    release.set_value();
    ASSERT_EQ(mainRun.wait_for(kCeiling), std::future_status::ready);
    ASSERT_EQ(bridge.wait_for(kCeiling), std::future_status::ready);
    EXPECT_FALSE(mainRun.get().empty());
    EXPECT_FALSE(bridge.get().empty());
    EXPECT_EQ(w.pin.asked, 1);
    EXPECT_EQ(w.service.sealLogs.size(), 2u);
    EXPECT_EQ(w.skf.signedData, FakeDigestOf("page", 32));
}

TEST(SealLoginOverlap, ARunStartedFromInsideARunIsRefused) {
    World w;
    std::string nested = "not run";
    w.pin.whileOpen = [&] { nested = w.login.LoginAndSign("again", RunPolicy::kWaitIfBusy); };
    EXPECT_FALSE(w.login.LoginAndSign("1", RunPolicy::kFailIfBusy).empty());
    EXPECT_EQ(nested, "");
    EXPECT_EQ(w.ui.Lines(), std::vector<std::string>{text::kLoginBusy});
    EXPECT_EQ(w.pin.asked, 1);
}

TEST(SealLoginOverlap, ManyConcurrentRunsKeepTheStateConsistent) {
    World w;
    std::vector<std::future<std::string>> runs;
    for (int i = 0; i < 8; ++i)
        runs.push_back(std::async(std::launch::async, [&w, i] {
            return w.login.LoginAndSign("text " + std::to_string(i), RunPolicy::kWaitIfBusy);
        }));
    // Sends from these threads wait for "the main thread": deliver until done.
    for (auto& r : runs) {
        while (r.wait_for(10ms) != std::future_status::ready) w.ui.DeliverPending();
        EXPECT_FALSE(r.get().empty());
    }
    EXPECT_EQ(w.pin.asked, 1);
    EXPECT_EQ(w.digest.loads, 8);
    EXPECT_EQ(w.digest.unloads, 8);
    EXPECT_EQ(w.service.sealLogs.size(), 8u);
    EXPECT_EQ(w.state.GetSealImgURL(), "http://seal.example/img/1.png");
}

}  // namespace
}  // namespace qex::test
