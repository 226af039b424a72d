// The real gSOAP wrappers against the seal service simulator.
#include "service/soap_calls.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/text_util.h"
#include "service/base64.h"
#include "service/endpoint.h"
#include "service/field.h"
#include "service/protocol.h"
#include "service/seal_info.h"
#include "sim/sealservice/logic.h"
#include "sim/sealservice/store.h"
#include "sim_process.h"

namespace qex {
namespace {

constexpr char kHash[] = "n4bQgYhMfWWaL+qgxVrQFaO/TxsrC4Is0V1sFbDwCgg=";
constexpr char kHashWeb[] = "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8=";
// "测试单位" and "电子公章" in code page 936.
const std::string kUnit = "\xb2\xe2\xca\xd4\xb5\xa5\xce\xbb";
const std::string kName = "\xb5\xe7\xd7\xd3\xb9\xab\xd5\xc2";

// The endpoint setting, as a test can change it between calls.
class Settings : public IFileSystem, public IProfileReader {
public:
    void SetUrl(const std::string& url) {
        std::lock_guard<std::mutex> lock(mutex_);
        url_ = url;
        present_ = true;
    }
    void RemoveFile() {
        std::lock_guard<std::mutex> lock(mutex_);
        present_ = false;
    }
    std::string SystemDirectory() override { return "C:\\windows\\system32"; }
    long CountEntries(const std::string&) override { return -1; }
    std::string CurrentDirectory() override { return "C:\\"; }
    bool ChangeDirectory(const std::string&) override { return false; }
    std::string ReadString(const std::string& path, const std::string&, const std::string&,
                           const std::string& fallback, std::size_t size) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!present_ || path != "C:\\windows\\system32\\wsconfig.ini") return fallback;
        return url_.substr(0, size - 1);
    }

private:
    std::mutex mutex_;
    std::string url_;
    bool present_ = false;
};

class SoapCallsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = testing::MakeTempDir();
        ASSERT_FALSE(dir_.empty());
        store_ = std::make_unique<sim::Store>(dir_ + "/seals.db");
        ASSERT_TRUE(store_->Init());
        sim::Seal seal;
        seal.certHash = kHash;
        seal.imageUrl = "http://127.0.0.1/seals/1.png";
        seal.unit = kUnit;
        seal.name = kName;
        seal.webUrl = "NOURL";
        seal.needHandwriting = true;
        ASSERT_TRUE(store_->PutSeal(seal));
        seal.certHash = kHashWeb;
        seal.webUrl = "http://127.0.0.1/seal/index.html?a=1&b=2";
        seal.needHandwriting = false;
        ASSERT_TRUE(store_->PutSeal(seal));
        sim_ = std::make_unique<testing::SimProcess>();
        ASSERT_TRUE(sim_->Start(QEX_SEALSERVICE_EXE, dir_ + "/seals.db", dir_));
        SetServiceEndpointSources(&settings_, &settings_);
    }
    static void TearDownTestSuite() {
        SetServiceEndpointSources(nullptr, nullptr);
        sim_.reset();
        store_.reset();
        std::filesystem::remove_all(dir_);
    }
    void SetUp() override {
        ASSERT_TRUE(sim_) << "simulator not running";
        settings_.SetUrl(sim_->Url());
        Fault("");
    }
    static void Fault(const std::string& mode) { ASSERT_TRUE(store_->SetSetting("fault", mode)); }
    static std::string LastRequest() {
        const auto all = store_->Requests();
        return all.empty() ? std::string() : all.back();
    }

    static std::string dir_;
    static std::unique_ptr<sim::Store> store_;
    static std::unique_ptr<testing::SimProcess> sim_;
    static Settings settings_;
};

std::string SoapCallsTest::dir_;
std::unique_ptr<sim::Store> SoapCallsTest::store_;
std::unique_ptr<testing::SimProcess> SoapCallsTest::sim_;
Settings SoapCallsTest::settings_;

TEST_F(SoapCallsTest, LoginCheckReturnsTheSealImageUrl) {
    EXPECT_EQ(CallQueryUkImgByCerBase64(kHash), "QEXRET:http://127.0.0.1/seals/1.png");
    EXPECT_TRUE(StartsWith(CallQueryUkImgByCerBase64("unknown"), protocol::kRefused));
}

TEST_F(SoapCallsTest, LoginQueryNamesWebPageAndHandwritingFlag) {
    const std::string reply = CallQueryUkNameByCerBase64(std::string("3@@@@") + kHash);
    EXPECT_EQ(reply, "QEXRET@@@@NOURL@@@@1");
    const std::string web = WithTrailingSeparator(CallQueryUkNameByCerBase64(std::string("3@@@@") + kHashWeb));
    EXPECT_TRUE(Contains(web, protocol::kSuccess));
    EXPECT_EQ(GetField(web, "@@@@", 1), "http://127.0.0.1/seal/index.html?a=1&b=2");
    EXPECT_EQ(GetField(web, "@@@@", 2), "0");
    EXPECT_TRUE(Contains(CallQueryUkNameByCerBase64("3@@@@unknown"), protocol::kRefused));
}

TEST_F(SoapCallsTest, HandwritingCaptureIsOpenedPolledAndFinished) {
    const std::string opened = WithTrailingSeparator(CallQueryUkNameByCerBase64("1@@@@HW"));
    ASSERT_TRUE(StartsWith(opened, "QEXRET"));
    const std::string id = GetField(opened, "@@@@", 1);
    ASSERT_FALSE(id.empty());
    // The QR code travels as the Base64 text of a PNG file.
    EXPECT_EQ(DecodeBase64(GetField(opened, "@@@@", 2)).compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);

    const std::string waiting = CallQueryUkNameByCerBase64("2@@@@" + id);
    EXPECT_FALSE(waiting.empty());
    EXPECT_FALSE(StartsWith(waiting, "QEXRET"));
    EXPECT_FALSE(Contains(waiting, protocol::kRefused));

    ASSERT_TRUE(store_->FinishCapture(id, "http://127.0.0.1/hw/1.png", "aGFuZA=="));
    EXPECT_EQ(CallQueryUkNameByCerBase64("2@@@@" + id), "QEXRET@@@@http://127.0.0.1/hw/1.png@@@@aGFuZA==");
    EXPECT_TRUE(Contains(CallQueryUkNameByCerBase64("2@@@@nosuchid"), protocol::kRefused));
}

TEST_F(SoapCallsTest, SealDetailsCarryUnitAndNameBytesThroughBase64) {
    SoapSealService service;
    std::string time, unit, name;
    ASSERT_TRUE(QuerySealInfo(service, kHash, time, unit, name));
    EXPECT_EQ(time.size(), 19u) << time;  // "YYYY-MM-DD HH:MM:SS"
    EXPECT_EQ(unit, kUnit);
    EXPECT_EQ(name, kName);
    EXPECT_FALSE(QuerySealInfo(service, "unknown", time, unit, name));
    EXPECT_TRUE(Contains(time, protocol::kRefused));
}

TEST_F(SoapCallsTest, SealLogTextGoesOutOneCharacterPerByte) {
    // GBK "中文" (d6 d0 ce c4), a byte in 0x80-0x9f, XML specials and a line feed.
    const std::string text = std::string("\xd6\xd0\xce\xc4 a<b>&c \x81\x40\n") + "1QEXDATAEND";
    EXPECT_EQ(CallAddUkSealLog(kHash, text), "QEXRET");
    const auto logs = store_->Logs();
    ASSERT_FALSE(logs.empty());
    EXPECT_EQ(logs.back().certHash, kHash);
    EXPECT_EQ(logs.back().text, text);

    const std::string wire = LastRequest();
    EXPECT_NE(wire.find("<arg1>\xc3\x96\xc3\x90\xc3\x8e\xc3\x84 a&lt;b&gt;&amp;c &#x81;@"), std::string::npos)
        << wire;
    EXPECT_NE(wire.find(std::string("<arg0>") + kHash + "</arg0>"), std::string::npos);
}

TEST_F(SoapCallsTest, RequestIsPlainSoap11DocumentLiteral) {
    CallQueryUkImgByCerBase64(kHash);
    const std::string wire = LastRequest();
    EXPECT_TRUE(StartsWith(wire, "POST /qexseal/ws/mycxf HTTP/1.1\r\n")) << wire;
    EXPECT_TRUE(Contains(wire, "Content-Type: text/xml; charset=utf-8\r\n"));
    EXPECT_TRUE(Contains(wire, "Content-Length: "));
    EXPECT_TRUE(Contains(wire, "SOAPAction: \"\"\r\n"));
    EXPECT_FALSE(Contains(wire, "chunked"));
    EXPECT_TRUE(Contains(wire, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    EXPECT_TRUE(Contains(wire, "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\""));
    EXPECT_TRUE(Contains(wire, "<ns1:queryUkImgByCerBase64><arg0>"));
    EXPECT_FALSE(Contains(wire, "encodingStyle"));
    EXPECT_FALSE(Contains(wire, "xsi:type"));
    EXPECT_FALSE(Contains(wire, "SOAP-ENV:Header"));
}

TEST_F(SoapCallsTest, Soap12ReplyIsAcceptedLikeSoap11) {
    Fault("soap12");
    EXPECT_EQ(CallQueryUkImgByCerBase64(kHash), "QEXRET:http://127.0.0.1/seals/1.png");
    EXPECT_EQ(CallQueryUkNameByCerBase64(std::string("3@@@@") + kHash), "QEXRET@@@@NOURL@@@@1");
}

TEST_F(SoapCallsTest, EveryKindOfBadReplyGivesTheEmptyText) {
    for (const char* mode : {"soap11-fault", "soap12-fault", "fault-200", "no-return", "nil-return",
                             "wrong-element", "http-error", "not-xml", "close"}) {
        Fault(mode);
        EXPECT_EQ(CallQueryUkImgByCerBase64(kHash), "") << mode;
        EXPECT_EQ(CallQueryUkNameByCerBase64(std::string("3@@@@") + kHash), "") << mode;
        EXPECT_EQ(CallAddUkSealLog(kHash, "x"), "") << mode;
        EXPECT_EQ(CallQueryUkMsgByCerHashBase64(std::string("QEX:") + kHash), "") << mode;
    }
}

TEST_F(SoapCallsTest, UnusableEndpointsGiveTheEmptyText) {
    settings_.SetUrl("http://127.0.0.1:" + std::to_string(testing::UnusedPort()) + "/qexseal/ws/mycxf");
    EXPECT_EQ(CallQueryUkImgByCerBase64(kHash), "");
    settings_.SetUrl("");
    EXPECT_EQ(CallQueryUkImgByCerBase64(kHash), "");
    // No TLS in the client: https fails even where a server listens.
    settings_.SetUrl("https://127.0.0.1:" + std::to_string(sim_->port()) + "/qexseal/ws/mycxf");
    EXPECT_EQ(CallQueryUkImgByCerBase64(kHash), "");
}

// Standard output of this process, captured for the length of one scope.
class CapturedStdout {
public:
    CapturedStdout() {
        std::fflush(stdout);
        saved_ = dup(1);
        file_ = std::tmpfile();
        dup2(fileno(file_), 1);
    }
    ~CapturedStdout() { Release(); }
    std::string Release() {
        if (saved_ < 0) return text_;
        std::fflush(stdout);
        dup2(saved_, 1);
        close(saved_);
        saved_ = -1;
        std::rewind(file_);
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof(buf), file_)) > 0) text_.append(buf, n);
        std::fclose(file_);
        return text_;
    }

private:
    int saved_ = -1;
    std::FILE* file_ = nullptr;
    std::string text_;
};

TEST_F(SoapCallsTest, EndpointWithoutHostFailsWithoutTouchingStandardStreams) {
    for (const char* url : {"", "not a url", "http://"}) {
        settings_.SetUrl(url);
        CapturedStdout out;
        EXPECT_EQ(CallQueryUkImgByCerBase64(kHash), "") << url;
        EXPECT_EQ(out.Release(), "") << url;
    }
}

TEST_F(SoapCallsTest, EndpointIsReadAgainAtEveryCall) {
    EXPECT_FALSE(CallQueryUkImgByCerBase64(kHash).empty());
    settings_.SetUrl("http://127.0.0.1:" + std::to_string(testing::UnusedPort()) + "/ws/mycxf");
    EXPECT_EQ(CallQueryUkImgByCerBase64(kHash), "");
    settings_.SetUrl(sim_->Url("/anything/ws/mycxf"));
    EXPECT_FALSE(CallQueryUkImgByCerBase64(kHash).empty());
}

TEST_F(SoapCallsTest, NoSettingsFileMeansTheDefaultEndpoint) {
    settings_.RemoveFile();
    char buffer[protocol::kEndpointBufferSize];
    std::memset(buffer, 'x', sizeof(buffer));
    ReadServiceEndpoint(buffer);
    EXPECT_STREQ(buffer, protocol::kDefaultEndpoint);
    settings_.SetUrl(std::string(250, 'h'));
    ReadServiceEndpoint(buffer);
    EXPECT_EQ(std::strlen(buffer), 199u);
}

class Lines : public IStatusSink {
public:
    void AppendStatus(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

TEST_F(SoapCallsTest, ReceiveTimeOutEndsASlowCallOnlyWhenAsked) {
    Fault("delay:3000");
    CallTimeouts quick;
    quick.receiveSeconds = 1;
    EXPECT_EQ(CallQueryUkImgByCerBase64(kHash, quick), "");
    // By default the client waits as long as the reply takes.
    Fault("delay:1500");
    EXPECT_EQ(CallQueryUkImgByCerBase64(kHash), "QEXRET:http://127.0.0.1/seals/1.png");
}

// A bounded service tells the user when a call ran out of its time; a
// service that answers badly, or closes at once, is no time-out.
TEST_F(SoapCallsTest, ACallThatRanOutOfTimeSaysSoOnTheStatusList) {
    CallTimeouts quick;
    quick.receiveSeconds = 1;
    Lines lines;
    SoapSealService bounded(quick, &lines);
    Fault("delay:4000");
    EXPECT_EQ(bounded.QueryUkImgByCerBase64(kHash), "");
    EXPECT_EQ(bounded.QueryUkNameByCerBase64(std::string("3@@@@") + kHash), "");
    EXPECT_EQ(lines.lines, (std::vector<std::string>{NoAnswerLine(1), NoAnswerLine(1)}));
    lines.lines.clear();
    for (const char* mode : {"close", "http-error", "soap11-fault"}) {
        Fault(mode);
        EXPECT_EQ(bounded.QueryUkImgByCerBase64(kHash), "") << mode;
    }
    Fault("");
    EXPECT_EQ(bounded.QueryUkImgByCerBase64(kHash), "QEXRET:http://127.0.0.1/seals/1.png");
    EXPECT_TRUE(lines.lines.empty());
}

TEST_F(SoapCallsTest, CallsFromSeveralThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<std::string> replies(8);
    for (std::size_t i = 0; i < replies.size(); ++i) {
        threads.emplace_back([&replies, i] {
            replies[i] = i % 2 ? CallQueryUkImgByCerBase64(kHash)
                               : CallQueryUkNameByCerBase64(std::string("3@@@@") + kHash);
        });
    }
    for (auto& t : threads) t.join();
    for (std::size_t i = 0; i < replies.size(); ++i) {
        EXPECT_EQ(replies[i], i % 2 ? "QEXRET:http://127.0.0.1/seals/1.png" : "QEXRET@@@@NOURL@@@@1");
    }
}

}  // namespace
}  // namespace qex
