#include "bridge/bridge_texts.h"
#include "bridge/sign_handler.h"
#include "core/texts.h"
#include "tests/bridge/fake_code_page.h"
#include "tests/support/cp936.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qex::bridge {
namespace {

// A main window as the bridge sees it, recording what the flow does.
class FakeHost : public IBridgeHost {
public:
    bool needHW = false;
    std::string hwResult;
    bool hwRequested = false;
    bool hwRequestedBeforeReply = false;
    std::string sealImgURL = "http://seal/img.png";
    std::string certHash = "Y2VydA==";
    bool sealInfoOk = true;
    std::string time = "2026-12-09", user = "\xb5\xa5\xce\xbb", sealName = "\xd5\xc2";
    std::string signature = "U0lH";
    std::string signedText;
    int signCalls = 0;
    std::vector<std::string> lines;
    std::vector<std::string>* replies = nullptr;
    // Simulates the login procedure re-reading the seal image URL.
    std::string sealImgURLAfterSign = "http://seal/other.png";
    // Simulates the re-sign command storing a new handwriting meanwhile:
    // while signing, or right after the reply has read the held one.
    std::string hwResultDuringSign;
    std::string hwResultAfterRead;

    void AppendStatus(const std::string& line) override { lines.push_back(line); }
    bool NeedHW() override { return needHW; }
    std::string GetHWResult() override {
        const std::string held = hwResult;
        if (!hwResultAfterRead.empty()) hwResult = hwResultAfterRead;
        return held;
    }
    void RequestHandwriting() override {
        hwRequested = true;
        hwRequestedBeforeReply = replies && replies->empty();
    }
    void ClearHWResultIf(const std::string& used) override {
        if (hwResult == used) hwResult.clear();
    }
    std::string GetSealImgURL() override { return sealImgURL; }
    std::string GetCertHashBase64() override { return certHash; }
    bool QuerySealInfo(std::string& t, std::string& u, std::string& n) override {
        t = time;
        if (!sealInfoOk) return false;
        u = user;
        n = sealName;
        return true;
    }
    std::string LoginAndSign(const std::string& text) override {
        ++signCalls;
        signedText = text;
        sealImgURL = sealImgURLAfterSign;
        if (!hwResultDuringSign.empty()) hwResult = hwResultDuringSign;
        return signature;
    }
};

class RecordingChannel : public IReplyChannel {
public:
    std::vector<std::string> replies;
    void SendReply(const std::string& body) override { replies.push_back(body); }
};

class SignFlow : public ::testing::Test {
protected:
    void Request(const std::string& received) {
        host.replies = &channel.replies;
        ParseRequest(received, host, cp, channel);
    }
    std::string OnlyReply() const {
        EXPECT_EQ(1u, channel.replies.size());
        return channel.replies.empty() ? std::string() : channel.replies.front();
    }
    FakeHost host;
    RecordingChannel channel;
    testing::IconvCodePage cp;
};

const char kPlainRequest[] = "GET /sign?data=abcQEXDATAEND HTTP/1.1\r\n\r\n";
const char kUnitRequest[] = "GET /sign?data=abcQEXDATAEND&user=%E5%8D%95%E4%BD%8DQEXDATAEND HTTP/1.1";

TEST_F(SignFlow, RequestWithoutDataGetsAStatusLineAndNoReply) {
    Request("GET /favicon.ico HTTP/1.1");
    EXPECT_TRUE(channel.replies.empty());
    EXPECT_EQ(std::vector<std::string>{text::kNoData}, host.lines);
    Request("GET /?data=abcQEXDATAEND&user=x HTTP/1.1");
    EXPECT_TRUE(channel.replies.empty());
    EXPECT_EQ(text::kUserNoEnd, host.lines.back());
}

TEST_F(SignFlow, HandwritingGateComesBeforeLoginAndRaisesTheFlagAfterReplying) {
    QEX_NEEDS_CP936_LITERALS();
    host.needHW = true;
    host.sealImgURL.clear();  // not logged in: the gate still answers "2"
    Request(kPlainRequest);
    EXPECT_EQ(std::string("sealInfoHandler({\"STATUS\":\"2\",\"ERR\":\"") + text::kWaitHandwriting +
                  "\"});",
              OnlyReply());
    EXPECT_TRUE(host.hwRequested);
    EXPECT_FALSE(host.hwRequestedBeforeReply);
    EXPECT_TRUE(host.lines.empty());
    EXPECT_EQ(0, host.signCalls);
}

TEST_F(SignFlow, NotLoggedInIsRefused) {
    QEX_NEEDS_CP936_LITERALS();
    host.sealImgURL.clear();
    Request(kPlainRequest);
    EXPECT_EQ(std::string("sealInfoHandler({\"STATUS\":\"1\",\"ERR\":\"") + text::kLoginFirst + "\"});",
              OnlyReply());
    EXPECT_EQ(0, host.signCalls);
}

TEST_F(SignFlow, SealDetailsFailureStartsErrWithWhatTheServiceLeft) {
    QEX_NEEDS_CP936_LITERALS();
    host.sealInfoOk = false;
    host.time.clear();
    Request(kPlainRequest);
    EXPECT_EQ(std::string("sealInfoHandler({\"STATUS\":\"1\",\"ERR\":\"") + text::kSealInfoFailed + "\"});",
              OnlyReply());
    EXPECT_EQ(':', text::kSealInfoFailed[0]);

    channel.replies.clear();
    host.time = "QEXERROR";
    Request(kPlainRequest);
    EXPECT_EQ(std::string("sealInfoHandler({\"STATUS\":\"1\",\"ERR\":\"QEXERROR") + text::kSealInfoFailed +
                  "\"});",
              OnlyReply());
    EXPECT_EQ(0, host.signCalls);
}

TEST_F(SignFlow, UnitMismatchIsRefusedWithItsLines) {
    QEX_NEEDS_CP936_LITERALS();
    host.user = "\xc6\xe4\xcb\xfb";  // another unit
    Request(kUnitRequest);
    EXPECT_EQ(std::string("sealInfoHandler({\"STATUS\":\"1\",\"ERR\":\"") + text::kUnitMismatch + "\"});",
              OnlyReply());
    const std::vector<std::string> expected = {
        std::string(text::kSealUser) + host.user, std::string(text::kSealName) + host.sealName,
        std::string(text::kRequiredUnit) + "\xb5\xa5\xce\xbb", text::kUnitMismatchLine};
    EXPECT_EQ(expected, host.lines);
    EXPECT_EQ(0, host.signCalls);
}

TEST_F(SignFlow, EmptyUnitNeverMatches) {
    QEX_NEEDS_CP936_LITERALS();
    Request("GET /?data=abcQEXDATAEND&user=QEXDATAEND HTTP/1.1");
    EXPECT_NE(std::string::npos, OnlyReply().find(text::kUnitMismatch));
}

TEST_F(SignFlow, MatchingUnitSignsThePlainText) {
    QEX_NEEDS_CP936_LITERALS();
    Request(kUnitRequest);
    EXPECT_NE(std::string::npos, OnlyReply().find("\"STATUS\":\"0\""));
    EXPECT_EQ("abcQEXDATAEND", host.signedText);
    EXPECT_EQ(std::string(text::kRequiredUnit) + "\xb5\xa5\xce\xbb", host.lines[2]);
    EXPECT_EQ(text::kSignOkLine, host.lines.back());
}

TEST_F(SignFlow, SigningFailureKeepsTheHandwriting) {
    QEX_NEEDS_CP936_LITERALS();
    host.needHW = true;
    host.hwResult = "http://seal/hw.png";
    host.signature.clear();
    Request(kPlainRequest);
    EXPECT_EQ(std::string("sealInfoHandler({\"STATUS\":\"1\",\"ERR\":\"") + text::kSignFailed + "\"});",
              OnlyReply());
    EXPECT_EQ(text::kSignFailedLine, host.lines.back());
    EXPECT_EQ("http://seal/hw.png", host.hwResult);
}

TEST_F(SignFlow, SuccessReplyHasAllMembersInOrder) {
    QEX_NEEDS_CP936_LITERALS();
    host.hwResult = "http://seal/hw.png";
    Request("GET /?data=a%20bQEXDATAENDcQEXDATAEND HTTP/1.1");
    // Only the first marker ends the data when no unit is given.
    EXPECT_EQ(
        "sealInfoHandler({\"IMGURL\":\"http://seal/img.png\",\"SIGNVAL\":\"U0lH\",\"UID\":\"Y2VydA==\","
        "\"TIME\":\"2026-12-09\",\"USER\":\"\xb5\xa5\xce\xbb\",\"SEALNAME\":\"\xd5\xc2\",\"STATUS\":\"0\","
        "\"PLAIN\":\"a%20bQEXDATAEND\",\"HWIMGURL\":\"http://seal/hw.png\"});",
        OnlyReply());
    EXPECT_EQ("", host.hwResult);
    const std::vector<std::string> expected = {std::string(text::kSealUser) + host.user,
                                               std::string(text::kSealName) + host.sealName,
                                               text::kNoUnitGiven, text::kSignOkLine};
    EXPECT_EQ(expected, host.lines);
}

TEST_F(SignFlow, HandwritingStoredDuringSigningGoesOutWithThisReply) {
    host.hwResult = "http://seal/hw1.png";
    host.hwResultDuringSign = "http://seal/hw2.png";
    Request(kPlainRequest);
    EXPECT_NE(std::string::npos, OnlyReply().find("\"HWIMGURL\":\"http://seal/hw2.png\""));
    EXPECT_EQ("", host.hwResult);
}

// A handwriting stored after the reply took the held one is not the one
// the page got: it stays for the next request instead of being forgotten.
TEST_F(SignFlow, HandwritingStoredAfterTheReplyReadItIsKeptForTheNextRequest) {
    host.hwResult = "http://seal/hw1.png";
    host.hwResultAfterRead = "http://seal/hw2.png";
    Request(kPlainRequest);
    EXPECT_NE(std::string::npos, OnlyReply().find("\"HWIMGURL\":\"http://seal/hw1.png\""));
    EXPECT_EQ("http://seal/hw2.png", host.hwResult);
}

TEST_F(SignFlow, ValuesThatBreakJsonAreEscaped) {
    host.sealName = "a\"b\\c";
    Request(kPlainRequest);
    EXPECT_NE(std::string::npos, OnlyReply().find("\"SEALNAME\":\"a\\\"b\\\\c\""));
}

// What the listener read goes through the origin gate before anything else.
class GatedFlow : public SignFlow {
protected:
    void Serve(const std::string& received) {
        host.replies = &channel.replies;
        ServeRequest(received, gate, host, cp, channel);
    }
    OriginGate gate = OriginGate::FromSetting("https://seal.example.cn");
};

TEST_F(GatedFlow, RefusedPageUsesNeitherHandwritingNorKeyNorService) {
    QEX_NEEDS_CP936_LITERALS();
    host.needHW = true;  // the handwriting gate would answer "2" and raise the flag
    Serve("GET /?data=abcQEXDATAEND HTTP/1.1\r\nReferer: https://evil.example/x\r\n\r\n");
    EXPECT_EQ(std::string("sealInfoHandler({\"STATUS\":\"1\",\"ERR\":\"") + qex::text::kOriginRefused + "\"});",
              OnlyReply());
    EXPECT_EQ(std::vector<std::string>{std::string(qex::text::kOriginNotListed) + "https://evil.example"}, host.lines);
    EXPECT_FALSE(host.hwRequested);
    EXPECT_EQ(0, host.signCalls);
}

TEST_F(GatedFlow, ListedPageIsServedFromTheFirst500BytesOfALongHead) {
    std::string head = "GET /?data=abcQEXDATAEND HTTP/1.1\r\n";
    while (head.size() < 600) head += "X-Filler: " + std::string(50, 'f') + "\r\n";
    head += "Referer: https://seal.example.cn/page\r\n\r\n";
    Serve(head);
    EXPECT_EQ(1, host.signCalls);
    EXPECT_EQ("abcQEXDATAEND", host.signedText);
    EXPECT_NE(std::string::npos, OnlyReply().find("\"STATUS\":\"0\""));

    // A request line beyond the first 500 bytes is not seen, as without the gate.
    channel.replies.clear();
    host.lines.clear();
    Serve("GET /" + std::string(500, 'p') + "?data=abcQEXDATAEND HTTP/1.1\r\nReferer: https://seal.example.cn/\r\n\r\n");
    EXPECT_TRUE(channel.replies.empty());
    EXPECT_EQ(std::vector<std::string>{text::kNoData}, host.lines);
}

TEST_F(GatedFlow, SilentPeerIsHandledAsWithoutTheGate) {
    Serve("");
    EXPECT_TRUE(channel.replies.empty());
    EXPECT_EQ(std::vector<std::string>{text::kNoData}, host.lines);
}

TEST_F(GatedFlow, GateOffServesEveryPage) {
    gate = OriginGate::FromSetting("");
    Serve("GET /?data=abcQEXDATAEND HTTP/1.1\r\n");
    EXPECT_EQ(1, host.signCalls);
}

}  // namespace
}  // namespace qex::bridge
