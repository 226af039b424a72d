#include "core/install_settings.h"

#include "fakes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace qex {
namespace {

using testing::FakeFileSystem;
using testing::FakeProfile;

TEST(InstallConfigPath, MoreThan500SysWow64EntriesMeans64Bit) {
    FakeFileSystem fs;
    fs.folders["C:\\windows\\syswow64"] = 501;
    EXPECT_EQ("C:\\Program Files (x86)\\ZULQEX\\wsconfig.ini", GetInstallConfigPath(fs));
    fs.folders["C:\\windows\\syswow64"] = 500;
    EXPECT_EQ("C:\\Program Files\\ZULQEX\\wsconfig.ini", GetInstallConfigPath(fs));
}

TEST(InstallConfigPath, NoSysWow64Means32BitOnTheSystemDrive) {
    FakeFileSystem fs;
    fs.systemDir = "E:\\WINNT\\system32";
    EXPECT_EQ("E:\\Program Files\\ZULQEX\\wsconfig.ini", GetInstallConfigPath(fs));
    EXPECT_TRUE(fs.countedDirs.empty());  // a folder that cannot be entered is not counted
    fs.folders["E:\\windows\\syswow64"] = 800;
    EXPECT_EQ("E:\\Program Files (x86)\\ZULQEX\\wsconfig.ini", GetInstallConfigPath(fs));
}

TEST(InstallConfigPath, WorkingFolderIsPutBack) {
    FakeFileSystem fs;
    fs.folders["C:\\windows\\syswow64"] = 780;
    fs.cwd = fs.cwdHome = "Z:\\home\\user\\run";
    GetInstallConfigPath(fs);
    EXPECT_EQ("Z:\\home\\user\\run", fs.cwd);
}

TEST(InstallSettings, UrlsComeFromTheirSectionsWithA500ByteBuffer) {
    FakeProfile profile;
    const std::string path = "C:\\Program Files\\ZULQEX\\wsconfig.ini";
    profile.values[{path, "WEBSITE", "URL"}] = std::string(600, 'w');
    profile.values[{path, "HELP", "URL"}] = "http://help/";
    EXPECT_EQ(std::string(499, 'w'), ReadWebsiteURL(profile, path));
    EXPECT_EQ("http://help/", ReadHelpURL(profile, path));
    EXPECT_EQ("", ReadHelpURL(profile, "elsewhere.ini"));
}

class SealLog : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qex-log-XXXXXX";
        const int fd = mkstemp(tmpl);
        ASSERT_GE(fd, 0);
        close(fd);
        path = tmpl;
    }
    void TearDown() override { std::remove(path.c_str()); }
    std::string Content() {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string path;
};

TEST_F(SealLog, AppendsRawRepliesWithCrLfInOrder) {
    EXPECT_TRUE(AppendSealLog("QEXRET@@@@http://site/@@@@1", path.c_str()));
    EXPECT_TRUE(AppendSealLog("", path.c_str()));
    EXPECT_TRUE(AppendSealLog("QEXERROR", path.c_str()));
    EXPECT_EQ("QEXRET@@@@http://site/@@@@1\r\n\r\nQEXERROR\r\n", Content());
}

TEST_F(SealLog, KeepsWhatIsAlreadyThere) {
    { std::ofstream(path, std::ios::binary) << "old line\r\n"; }
    AppendSealLog("new", path.c_str());
    EXPECT_EQ("old line\r\nnew\r\n", Content());
}

TEST_F(SealLog, MissingFileIsNotCreated) {
    std::remove(path.c_str());
    EXPECT_FALSE(AppendSealLog("QEXRET", path.c_str()));
    EXPECT_NE(0, access(path.c_str(), F_OK));
}

}  // namespace
}  // namespace qex
