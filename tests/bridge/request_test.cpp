#include "bridge/jsonp.h"
#include "bridge/request.h"
#include "tests/bridge/fake_code_page.h"

#include <gtest/gtest.h>

namespace qex::bridge {
namespace {

// 单位 in code page 936.
const std::string kUnitGbk = "\xb5\xa5\xce\xbb";

TEST(CutSignRequest, TakesDataUpToTheFirstMarker) {
    const CutRequest cut = CutSignRequest("GET /?data=abcQEXDATAEND&cb=x HTTP/1.1\r\nHost: a\r\n\r\n");
    ASSERT_EQ(RequestKind::kSign, cut.kind);
    EXPECT_EQ("?data=abcQEXDATAEND", cut.sign);
}

TEST(CutSignRequest, WithUnitRunsToTheSecondMarker) {
    const CutRequest cut =
        CutSignRequest("GET /?data=abcQEXDATAEND&user=%E5%8D%95QEXDATAEND&x=1 HTTP/1.1");
    ASSERT_EQ(RequestKind::kSign, cut.kind);
    EXPECT_EQ("?data=abcQEXDATAEND&user=%E5%8D%95QEXDATAEND", cut.sign);
}

TEST(CutSignRequest, MissingOrMisspelledMarkersGiveNoRequest) {
    EXPECT_EQ(RequestKind::kNoData, CutSignRequest("").kind);
    EXPECT_EQ(RequestKind::kNoData, CutSignRequest("GET /?data=abc HTTP/1.1").kind);
    EXPECT_EQ(RequestKind::kNoData, CutSignRequest("GET /?data=abcqexdataend HTTP/1.1").kind);
    EXPECT_EQ(RequestKind::kNoData, CutSignRequest("GET /?DATA=abcQEXDATAEND HTTP/1.1").kind);
    EXPECT_EQ(RequestKind::kUserWithoutEnd,
              CutSignRequest("GET /?data=abcQEXDATAEND&user=x HTTP/1.1").kind);
}

TEST(CutSignRequest, MarkerBeforeDataGivesAnEmptyCutNotACrash) {
    const CutRequest cut = CutSignRequest("QEXDATAEND ?data=abc");
    ASSERT_EQ(RequestKind::kSign, cut.kind);
    EXPECT_EQ("QEXDATAEND", cut.sign);
    const SignRequest req = SplitSignRequest(cut.sign);
    EXPECT_EQ("", req.data);
    EXPECT_EQ("QEXDATAEND", req.plain);
}

TEST(SplitSignRequest, DataIsTakenAsWrittenAndEndsWithOneMarker) {
    SignRequest req = SplitSignRequest("?data=a%20b+cQEXDATAEND");
    EXPECT_FALSE(req.hasUnit);
    EXPECT_EQ("a%20b+c", req.data);
    EXPECT_EQ("a%20b+cQEXDATAEND", req.plain);

    req = SplitSignRequest("?data=abcQEXDATAEND&user=%E5%8D%95%E4%BD%8DQEXDATAEND");
    EXPECT_TRUE(req.hasUnit);
    EXPECT_EQ("abc", req.data);
    EXPECT_EQ("%E5%8D%95%E4%BD%8D", req.rawUnit);
    EXPECT_EQ("abcQEXDATAEND", req.plain);

    req = SplitSignRequest("?data=abcQEXDATAEND&user=QEXDATAEND");
    EXPECT_TRUE(req.hasUnit);
    EXPECT_EQ("", req.rawUnit);
}

TEST(SplitSignRequest, EmptyDataSignsTheMarkerAlone) {
    const SignRequest req = SplitSignRequest("?data=QEXDATAEND");
    EXPECT_EQ("", req.data);
    EXPECT_EQ("QEXDATAEND", req.plain);
}

TEST(DecodeUrlText, DecodesUtf8PercentEscapesToCodePage936) {
    testing::IconvCodePage cp;
    EXPECT_EQ(kUnitGbk, DecodeUrlText("%E5%8D%95%E4%BD%8D", cp));
    EXPECT_EQ(kUnitGbk, DecodeUrlText("%e5%8d%95%e4%bd%8d", cp));
    EXPECT_EQ("a+b", DecodeUrlText("a+b", cp));
    EXPECT_EQ("", DecodeUrlText("", cp));
}

TEST(DecodeUrlText, BadOrTruncatedEscapesStayAsTheyAre) {
    testing::IconvCodePage cp;
    EXPECT_EQ("%G1x", DecodeUrlText("%G1x", cp));
    EXPECT_EQ("ab%4", DecodeUrlText("ab%4", cp));
    EXPECT_EQ("ab%", DecodeUrlText("ab%", cp));
    EXPECT_EQ("%%41", PercentDecode("%%%341"));
    EXPECT_EQ("A", DecodeUrlText("%41", cp));
}

TEST(DecodeUrlText, StopsAtAnEncodedNul) {
    testing::IconvCodePage cp;
    EXPECT_EQ("ab", DecodeUrlText("ab%00cd", cp));
    EXPECT_EQ("", DecodeUrlText("%00", cp));
}

TEST(JsonEscape, OrdinaryValuesComeOutUnchanged) {
    EXPECT_EQ("http://h/img.png?a=1&b=2", JsonEscape("http://h/img.png?a=1&b=2"));
    EXPECT_EQ(kUnitGbk, JsonEscape(kUnitGbk));
    EXPECT_EQ("abc+/=", JsonEscape("abc+/="));
}

TEST(JsonEscape, EscapesQuotesBackslashesAndControlCharacters) {
    EXPECT_EQ("a\\\"b\\\\c", JsonEscape("a\"b\\c"));
    EXPECT_EQ("x\\u000ay\\u0009", JsonEscape("x\ny\t"));
}

TEST(JsonEscape, KeepsTrailBytesThatLookLikeBackslashOrQuote) {
    // 0x95 0x5C is one character in code page 936; its second byte is '\'.
    EXPECT_EQ("\x95\x5c", JsonEscape("\x95\x5c"));
    EXPECT_EQ("\x95\x5c\\\\", JsonEscape("\x95\x5c\\"));
    // A lead byte with no trail byte cannot swallow the escaping backslash.
    EXPECT_EQ("?\\\"", JsonEscape("\x95\""));
    EXPECT_EQ("a?", JsonEscape("a\x95"));
}

TEST(BuildReply, WritesMembersInOrderWithoutBlanks) {
    EXPECT_EQ("sealInfoHandler({\"STATUS\":\"1\",\"ERR\":\"x\"});", StatusReply("1", "x"));
    EXPECT_EQ("sealInfoHandler({\"A\":\"\\\"\"});", BuildReply({{"A", "\""}}));
}

}  // namespace
}  // namespace qex::bridge
