#include "core/ini_profile.h"
#include "core/install_settings.h"
#include "core/win/win_platform.h"

#include "core/win/win32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace qex {
namespace {

class TempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char base[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, base);
        char name[MAX_PATH] = {};
        GetTempFileNameA(base, "qex", 0, name);
        DeleteFileA(name);
        ASSERT_TRUE(CreateDirectoryA(name, nullptr));
        dir = name;
    }
    void TearDown() override {
        for (const std::string& f : files) DeleteFileA(f.c_str());
        RemoveDirectoryA(dir.c_str());
    }
    std::string Write(const std::string& leaf, const std::string& text) {
        const std::string path = dir + "\\" + leaf;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        files.push_back(path);
        return path;
    }
    std::string dir;
    std::vector<std::string> files;
};

using ProfileReaders = TempFolder;

// The portable reader must answer as the system's profile call does on the
// same file, for the awkward cases as well.
TEST_F(ProfileReaders, PortableReaderAgreesWithGetPrivateProfileString) {
    const std::string text =
        "junk line\r\n"
        "[WebSite]\r\n"
        "  url =  http://site/a b  \r\n"
        "nothing here\r\n"
        "quoted=\"in quotes\"\r\n"
        "single='one'\r\n"
        "empty=\r\n"
        "dup=first\r\n"
        "dup=second\r\n"
        "[HELP\r\n"
        "[help]\n"
        "URL=http://help/\r"
        "[Last]\r\n"
        "k=no line end";
    const std::string path = Write("a.ini", text);
    WinProfileReader win;
    IniProfileReader ini;
    const char* queries[][2] = {{"WEBSITE", "URL"}, {"website", "Url"}, {" WebSite ", " url "},
                                {"WEBSITE", "quoted"}, {"WEBSITE", "single"}, {"WEBSITE", "empty"},
                                {"WEBSITE", "dup"}, {"WEBSITE", "nothing here"}, {"HELP", "URL"},
                                {"Last", "k"}, {"Missing", "k"}, {"WEBSITE", "missing"}};
    for (const auto& q : queries) {
        SCOPED_TRACE(std::string(q[0]) + "/" + q[1]);
        EXPECT_EQ(win.ReadString(path, q[0], q[1], "dflt", 500), ini.ReadString(path, q[0], q[1], "dflt", 500));
    }
    EXPECT_EQ("http://site/a b", win.ReadString(path, "WEBSITE", "URL", "", 500));
}

TEST_F(ProfileReaders, LongValueIsCutTo499Bytes) {
    const std::string url = "http://x/" + std::string(591, 'p');
    const std::string path = Write("long.ini", "[WEBSITE]\r\nURL=" + url + "\r\n");
    WinProfileReader win;
    EXPECT_EQ(url.substr(0, 499), ReadWebsiteURL(win, path));
    IniProfileReader ini;
    EXPECT_EQ(url.substr(0, 499), ReadWebsiteURL(ini, path));
}

TEST_F(ProfileReaders, MissingFileGivesEmptyUrls) {
    WinProfileReader win;
    EXPECT_EQ("", ReadWebsiteURL(win, dir + "\\none.ini"));
    EXPECT_EQ("", ReadHelpURL(win, dir + "\\none.ini"));
}

using FileSystem = TempFolder;

TEST_F(FileSystem, CountsEntriesWithDotAndDotDot) {
    Write("one.txt", "1");
    Write("two.txt", "2");
    WinFileSystem fs;
    EXPECT_EQ(4, fs.CountEntries(dir));
    EXPECT_EQ(-1, fs.CountEntries(dir + "\\missing"));
}

TEST_F(FileSystem, InstallConfigPathUnderWineIs64BitAndKeepsTheWorkingFolder) {
    WinFileSystem fs;
    ASSERT_TRUE(fs.ChangeDirectory(dir));
    const std::string before = fs.CurrentDirectory();
    const std::string drive = fs.SystemDirectory().substr(0, 1);
    // Wine's prefixes carry a populated syswow64 folder, as 64-bit Windows does.
    EXPECT_GT(fs.CountEntries(drive + ":\\windows\\syswow64"), 500);
    EXPECT_EQ(drive + ":\\Program Files (x86)\\ZULQEX\\wsconfig.ini", GetInstallConfigPath(fs));
    EXPECT_EQ(before, fs.CurrentDirectory());
    // Relative paths still resolve where they did.
    const std::string rel = Write("rel.txt", "x");
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("rel.txt"));
    (void)rel;
}

TEST(CodePage, Utf8BecomesCodePage936) {
    WinCodePage cp;
    ASSERT_EQ(936u, GetACP());
    EXPECT_EQ("\xb5\xe7\xd7\xd3\xc7\xa9\xd5\xc2", cp.Utf8ToAnsi("\xe7\x94\xb5\xe5\xad\x90\xe7\xad\xbe\xe7\xab\xa0"));
    EXPECT_EQ("abc", cp.Utf8ToAnsi("abc"));
    EXPECT_EQ("", cp.Utf8ToAnsi(""));
}

}  // namespace
}  // namespace qex
