#include "service/endpoint.h"

#include <gtest/gtest.h>

#include <map>

#include "service/protocol.h"

namespace qex {
namespace {

class FakeFileSystem : public IFileSystem {
public:
    std::string systemDir = "C:\\windows\\system32";
    std::string SystemDirectory() override { return systemDir; }
    long CountEntries(const std::string&) override { return -1; }
    std::string CurrentDirectory() override { return "C:\\"; }
    bool ChangeDirectory(const std::string&) override { return false; }
};

// Answers like GetPrivateProfileStringA from an in-memory set of files.
class FakeProfile : public IProfileReader {
public:
    std::map<std::string, std::string> urls;  // file path -> [WS] URL
    std::string lastPath, lastSection, lastKey;
    std::size_t lastSize = 0;
    std::string ReadString(const std::string& path, const std::string& section,
                           const std::string& key, const std::string& fallback,
                           std::size_t bufferSize) override {
        lastPath = path;
        lastSection = section;
        lastKey = key;
        lastSize = bufferSize;
        const auto it = urls.find(path);
        return it == urls.end() ? fallback : it->second;
    }
};

class EndpointTest : public ::testing::Test {
protected:
    FakeFileSystem fs;
    FakeProfile profile;
    const std::string file = "C:\\windows\\system32\\wsconfig.ini";
};

TEST_F(EndpointTest, ReadsWsUrlOfTheSystemFolderFile) {
    profile.urls[file] = "http://10.0.0.5:8080/seal/ws/mycxf";
    EXPECT_EQ(ReadServiceEndpoint(fs, profile), "http://10.0.0.5:8080/seal/ws/mycxf");
    EXPECT_EQ(profile.lastPath, file);
    EXPECT_EQ(profile.lastSection, "WS");
    EXPECT_EQ(profile.lastKey, "URL");
    EXPECT_EQ(profile.lastSize, 200u);
}

TEST_F(EndpointTest, MissingFileGivesThePlainHttpDefault) {
    const std::string url = ReadServiceEndpoint(fs, profile);
    EXPECT_EQ(url, protocol::kDefaultEndpoint);
    EXPECT_EQ(url.compare(0, 7, "http://"), 0);
    EXPECT_NE(url.find(":8080/"), std::string::npos);
    EXPECT_EQ(url.substr(url.size() - 9), "/ws/mycxf");
}

TEST_F(EndpointTest, PresentButEmptyKeyGivesAnEmptyEndpoint) {
    profile.urls[file] = "";
    EXPECT_EQ(ReadServiceEndpoint(fs, profile), "");
}

TEST_F(EndpointTest, LongUrlIsCutTo199Characters) {
    const std::string longUrl = "http://127.0.0.1:8080/" + std::string(300, 'a');
    profile.urls[file] = longUrl;
    EXPECT_EQ(ReadServiceEndpoint(fs, profile), longUrl.substr(0, 199));
    profile.urls[file] = longUrl.substr(0, 199);
    EXPECT_EQ(ReadServiceEndpoint(fs, profile).size(), 199u);
}

}  // namespace
}  // namespace qex
