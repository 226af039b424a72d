#include "core/tray_state.h"

#include "core/shell_texts.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace qex {
namespace {

class Tray : public ::testing::Test {
protected:
    testing::FakeTray shell;
    testing::FakeWindow window;
    TrayIcon tray{shell, window};
};

TEST_F(Tray, NothingIsShownBeforeTheFirstCall) {
    EXPECT_TRUE(shell.shown.empty());
    EXPECT_EQ(0, tray.Record().iconId);
}

TEST_F(Tray, LoggedOutAndLoggedInSwapTheLight) {
    tray.SetTrayState(kTrayLoggedOut, "");
    ASSERT_EQ(1u, shell.shown.size());
    EXPECT_EQ(text::kTrayTipLoggedOut, shell.shown.at(kIconTrayRed));

    tray.SetTrayState(kTrayLoggedIn, "");
    ASSERT_EQ(1u, shell.shown.size());  // the red one went before the green one came
    EXPECT_EQ(text::kTrayTipLoggedIn, shell.shown.at(kIconTrayGreen));
    EXPECT_TRUE(window.lines.empty());
}

TEST_F(Tray, EveryCallRemovesAndReAdds) {
    tray.SetTrayState(kTrayLoggedOut, "");
    tray.SetTrayState(kTrayLoggedOut, "");
    EXPECT_EQ((std::vector<std::string>{"remove 0", "add 134", "remove 134", "add 134"}), shell.calls);
    EXPECT_EQ(1u, shell.shown.size());
}

TEST_F(Tray, OtherModesAppendTheNoticeAndKeepTheIcon) {
    tray.SetTrayState(kTrayLoggedIn, "");
    tray.SetTrayState(kTrayNotice, "notice one");
    tray.SetTrayState(7, "notice two");
    EXPECT_EQ((std::vector<std::string>{"notice one", "notice two"}), window.lines);
    ASSERT_EQ(1u, shell.shown.size());
    EXPECT_EQ(text::kTrayTipLoggedIn, shell.shown.at(kIconTrayGreen));
}

// A status line waits for the main thread; the tray lock must be free then,
// so that a main-thread SetTrayState cannot dead-lock against it.
TEST_F(Tray, NoticeIsSentWithoutHoldingTheTrayLock) {
    struct Reentrant : IStatusSink {
        TrayIcon* tray = nullptr;
        int seen = -1;
        void AppendStatus(const std::string&) override { seen = tray->Record().iconId; }
    } sink;
    TrayIcon t(shell, sink);
    sink.tray = &t;
    t.SetTrayState(kTrayLoggedOut, "");
    t.SetTrayState(kTrayNotice, "x");
    EXPECT_EQ(kIconTrayRed, sink.seen);
}

TEST_F(Tray, RemoveAtExitLeavesNoIcon) {
    tray.SetTrayState(kTrayLoggedIn, "");
    tray.Remove();
    EXPECT_TRUE(shell.shown.empty());
}

}  // namespace
}  // namespace qex
