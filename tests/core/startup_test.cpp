#include "core/startup.h"

#include "core/shell_texts.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace qex {
namespace {

class StartupKeys : public ::testing::Test {
protected:
    void SetUp() override {
        fs.folders["C:\\windows\\syswow64"] = 780;
        profile.values[{kConfig, "WEBSITE", "URL"}] = "http://site/";
        profile.values[{kConfig, "HELP", "URL"}] = "http://help/";
        window.loginEnabled = false;
    }
    const std::string kConfig = "C:\\Program Files (x86)\\ZULQEX\\wsconfig.ini";
    MainState state;
    testing::FakeWindow window;
    testing::FakeProfile profile;
    testing::FakeFileSystem fs;
};

TEST_F(StartupKeys, NoKeyShowsOneLineAndReadsNothing) {
    RunStartupKeyStep(0, state, window, profile, fs);
    EXPECT_EQ(std::vector<std::string>{text::kNoKey}, window.lines);
    EXPECT_EQ(0, state.GetKeyCount());
    EXPECT_TRUE(profile.readPaths.empty());
    EXPECT_EQ("", state.GetWebsiteURL());
    EXPECT_EQ(0, window.loginCalls);
}

TEST_F(StartupKeys, OneKeyReadsTheSettingsAndEnablesLogin) {
    RunStartupKeyStep(1, state, window, profile, fs);
    EXPECT_EQ(std::vector<std::string>{text::kOneKeyPleaseLogin}, window.lines);
    EXPECT_EQ(1, state.GetKeyCount());
    EXPECT_EQ("http://site/", state.GetWebsiteURL());
    EXPECT_EQ("http://help/", state.GetHelpURL());
    EXPECT_TRUE(window.loginEnabled);
    EXPECT_TRUE(window.helpShown);
}

TEST_F(StartupKeys, OneKeyWithoutHelpUrlHidesTheHelpLink) {
    profile.values.erase({kConfig, "HELP", "URL"});
    RunStartupKeyStep(1, state, window, profile, fs);
    EXPECT_EQ("", state.GetHelpURL());
    EXPECT_EQ(1, window.helpLinkCalls);
    EXPECT_FALSE(window.helpShown);
}

TEST_F(StartupKeys, TwoOrMoreKeysAskToKeepOne) {
    RunStartupKeyStep(3, state, window, profile, fs);
    EXPECT_EQ(std::vector<std::string>{text::kKeepOneKey}, window.lines);
    EXPECT_EQ(3, state.GetKeyCount());
    EXPECT_TRUE(profile.readPaths.empty());
    EXPECT_EQ("", state.GetHelpURL());
}

}  // namespace
}  // namespace qex
