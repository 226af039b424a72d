#include "core/ini_profile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace qex {
namespace {

std::string Find(const std::string& text, const std::string& section, const std::string& key) {
    bool found = false;
    std::string v = FindProfileValue(text, section, key, &found);
    return found ? v : "<missing>";
}

TEST(ProfileText, NamesMatchWithoutCaseAndAroundBlanks) {
    const std::string text = "[WebSite]\r\n  url = http://a.example/x  \r\n[HELP]\r\nURL=http://h/\r\n";
    EXPECT_EQ("http://a.example/x", Find(text, "WEBSITE", "URL"));
    EXPECT_EQ("http://a.example/x", Find(text, " website ", "Url"));
    EXPECT_EQ("http://h/", Find(text, "help", "url"));
    EXPECT_EQ("<missing>", Find(text, "WEB", "URL"));
    EXPECT_EQ("<missing>", Find(text, "WEBSITE", "UR"));
}

TEST(ProfileText, GarbageLinesAreIgnored) {
    const std::string text =
        "junk before any section\n"
        "[HELP\n"                   // no closing bracket: not a header
        "=value without key\n"
        "[WEBSITE]\n"
        "just words\n"
        "; URL=commented\n"
        "URLX=near miss\n"
        "URL=http://w/\n";
    EXPECT_EQ("http://w/", Find(text, "WEBSITE", "URL"));
    EXPECT_EQ("<missing>", Find(text, "HELP", "URL"));
}

TEST(ProfileText, LineEndsOfEveryKindAndNoneAtTheEnd) {
    EXPECT_EQ("v1", Find("[S]\rK=v1", "S", "K"));
    EXPECT_EQ("v2", Find("[S]\nA=1\r\n\r\nK=v2", "S", "K"));
    EXPECT_EQ("v3", Find("[S]\r\rK=v3\n\n", "S", "K"));
}

TEST(ProfileText, FirstSectionAndFirstKeyWin) {
    const std::string text = "[S]\nK=first\nK=second\n[s]\nK=third\nJ=only-in-second\n";
    EXPECT_EQ("first", Find(text, "S", "K"));
    EXPECT_EQ("<missing>", Find(text, "S", "J"));
}

TEST(ProfileText, EmptyValueIsAValueAndQuotesArePaired) {
    EXPECT_EQ("", Find("[S]\nK=\n", "S", "K"));
    EXPECT_EQ("a b", Find("[S]\nK=\"a b\"\n", "S", "K"));
    EXPECT_EQ("x", Find("[S]\nK='x'\n", "S", "K"));
    EXPECT_EQ("\"half", Find("[S]\nK=\"half\n", "S", "K"));
    EXPECT_EQ("a=b", Find("[S]\nK=a=b\n", "S", "K"));
}

class IniFile : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qex-ini-XXXXXX";
        const int fd = mkstemp(tmpl);
        ASSERT_GE(fd, 0);
        close(fd);
        path = tmpl;
    }
    void TearDown() override { std::remove(path.c_str()); }
    void Write(const std::string& text) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    std::string path;
    IniProfileReader reader;
};

TEST_F(IniFile, ValuesAreCutToTheBuffer) {
    const std::string url = "http://x/" + std::string(591, 'p');  // 600 characters
    Write("[WEBSITE]\r\nURL=" + url + "\r\n");
    const std::string got = reader.ReadString(path, "WEBSITE", "URL", "", 500);
    EXPECT_EQ(url.substr(0, 499), got);
    EXPECT_EQ("http", reader.ReadString(path, "WEBSITE", "URL", "", 5));
}

TEST_F(IniFile, MissingFileSectionOrKeyGivesTheFallback) {
    Write("[WEBSITE]\nURL=http://w/\n");
    EXPECT_EQ("dflt", reader.ReadString(path + ".none", "WEBSITE", "URL", "dflt", 500));
    EXPECT_EQ("dflt", reader.ReadString(path, "HELP", "URL", "dflt  ", 500));
    EXPECT_EQ("", reader.ReadString(path, "WEBSITE", "NAME", "", 500));
    EXPECT_EQ("http://w/", reader.ReadString(path, "website", "url", "dflt", 500));
}

}  // namespace
}  // namespace qex
