#include "login/key_watch.h"

#include <gtest/gtest.h>

#include "core/main_state.h"
#include "login/login_texts.h"
#include "window_fakes.h"

namespace qex::test {
namespace {

using Lines = std::vector<std::string>;

class KeyWatchTest : public ::testing::Test {
protected:
    KeyWatchTest() {
        state.ResetForStart();
        state.SetSealImgURL("http://seal.example/img.png");
    }
    void Check(int n) { RunKeyCheck(n, KeyWatchParts{state, window, window, profile, fs}); }
    // Where a check with a previous count of `p` starts from.
    void From(int p, bool loggedIn = false) {
        state.SetKeyCount(p);
        if (loggedIn) {
            window.title = text::kTitleLoggedIn;
            window.visible = false;
            window.tray = kTrayLoggedIn;
        }
    }

    MainState state;
    FakeMainWindow window;
    FakeProfile profile;
    FakeFileSystem fs;
};

TEST_F(KeyWatchTest, PluggingTheFirstKeyShowsTheWindowAndOpensTheWebSite) {
    From(0);
    window.visible = false;
    window.loginEnabled = false;
    Check(1);
    EXPECT_TRUE(window.visible);
    EXPECT_TRUE(window.loginEnabled);
    EXPECT_EQ(window.lines, Lines{text::kUkInserted});
    EXPECT_EQ(window.title, text::kTitleLoggedOut);
    EXPECT_EQ(window.tray, kTrayLoggedOut);
    EXPECT_EQ(window.shellOpened, Lines{"http://seal.example/site"});
    EXPECT_EQ(state.GetKeyCount(), 1);
    // The site is read from the install folder's settings file each time.
    ASSERT_EQ(profile.readPaths.size(), 1u);
    EXPECT_NE(profile.readPaths[0].find("wsconfig.ini"), std::string::npos);
}

TEST_F(KeyWatchTest, NoWebSiteConfiguredOpensNothing) {
    profile.website = "";
    From(0);
    Check(1);
    EXPECT_TRUE(window.shellOpened.empty());
    EXPECT_EQ(window.lines, Lines{text::kUkInserted});
}

TEST_F(KeyWatchTest, SecondKeyLogsOutAndShowsTheWindowEveryTime) {
    From(1, /*loggedIn=*/true);
    state.SetPIN("123456");
    state.SetCertHashBase64("hash");
    Check(2);
    EXPECT_EQ(window.lines, Lines{text::kKeepOnlyOneUk});
    EXPECT_FALSE(window.loginEnabled);
    EXPECT_TRUE(window.visible);
    EXPECT_EQ(window.title, text::kTitleLoggedOut);
    EXPECT_EQ(window.tray, kTrayLoggedOut);
    EXPECT_EQ(state.GetSealImgURL(), "");
    Check(3);
    EXPECT_EQ(window.lines, (Lines{text::kKeepOnlyOneUk, text::kKeepOnlyOneUk}));
    // PIN and identity stay.
    EXPECT_EQ(state.GetPIN(), "123456");
    EXPECT_EQ(state.GetCertHashBase64(), "hash");
    EXPECT_TRUE(window.shellOpened.empty());
}

TEST_F(KeyWatchTest, RemovingTheSecondKeyOnlyEnablesTheButton) {
    From(2);
    window.title = text::kTitleLoggedOut;
    window.tray = kTrayLoggedOut;
    window.loginEnabled = false;
    window.events.clear();
    Check(1);
    EXPECT_TRUE(window.loginEnabled);
    EXPECT_TRUE(window.lines.empty());
    EXPECT_TRUE(window.events.empty());
    EXPECT_TRUE(window.shellOpened.empty());
    EXPECT_EQ(state.GetKeyCount(), 1);
}

TEST_F(KeyWatchTest, AnUnrelatedDeviceLeavesALoggedInClientAlone) {
    From(1, true);
    window.events.clear();
    Check(1);
    EXPECT_TRUE(window.events.empty());
    EXPECT_FALSE(window.visible);
    EXPECT_EQ(window.title, text::kTitleLoggedIn);
    EXPECT_EQ(state.GetSealImgURL(), "http://seal.example/img.png");
}

TEST_F(KeyWatchTest, UnpluggingTheOnlyKeyLogsOutWithoutShowingTheWindow) {
    From(1, true);
    Check(0);
    EXPECT_FALSE(window.visible);
    EXPECT_FALSE(window.loginEnabled);
    EXPECT_EQ(window.title, text::kTitleLoggedOut);
    EXPECT_EQ(window.tray, kTrayLoggedOut);
    EXPECT_EQ(state.GetSealImgURL(), "");
    EXPECT_TRUE(window.lines.empty());

    // And back in: the window comes up and the site opens again.
    Check(1);
    EXPECT_TRUE(window.visible);
    EXPECT_EQ(window.lines, Lines{text::kUkInserted});
    EXPECT_EQ(window.shellOpened.size(), 1u);
}

TEST_F(KeyWatchTest, NoKeyAfterNoKeyOrSeveralOnlyReRegistersTheTray) {
    for (int p : {0, 2}) {
        From(p);
        window.title = "版本：V1.8    当前状态：未登录";
        window.events.clear();
        Check(0);
        EXPECT_EQ(window.events, Lines{"tray0"}) << p;
        EXPECT_EQ(window.title, "版本：V1.8    当前状态：未登录") << p;
        EXPECT_EQ(state.GetSealImgURL(), "http://seal.example/img.png") << p;
    }
}

}  // namespace
}  // namespace qex::test
