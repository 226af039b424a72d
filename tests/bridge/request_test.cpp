#include "bridge/jsonp.h"
#include "bridge/request.h"
#include "tests/bridge/fake_code_page.h"

#include <gtest/gtest.h>

#include "tests/support/gbk_reader.h"

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
}

// A lead byte without its second byte: kept wherever a GBK decoder reads
// the next byte of the reply afresh (the closing quote, a blank, a digit,
// a byte that is no second byte), given up only where the next byte would
// be an escaping backslash, which the decoder would swallow.
TEST(JsonEscape, LoneLeadBytesAreKeptUnlessTheyWouldSwallowAnEscape) {
    EXPECT_EQ("a\x95", JsonEscape("a\x95"));
    EXPECT_EQ("\x95 x", JsonEscape("\x95 x"));
    EXPECT_EQ("\x95" "1", JsonEscape("\x95" "1"));
    EXPECT_EQ("\x95\x7f", JsonEscape("\x95\x7f"));
    EXPECT_EQ("\x95\xff", JsonEscape("\x95\xff"));
    EXPECT_EQ("?\\\"", JsonEscape("\x95\""));
    EXPECT_EQ("?\\u000a", JsonEscape("\x95\n"));
    // 0x80 and 0xFF are no lead bytes: single bytes, copied.
    EXPECT_EQ("\x80\\\"\xff", JsonEscape("\x80\"\xff"));
}

// Every value of up to three bytes drawn from the bytes that matter to a
// GBK decoder or a JSON reader, read back as a browser reads the reply.
TEST(JsonEscape, RepliesKeepTheirShapeAndCleanTextComesBackForShortValues) {
    const unsigned char interesting[] = {0x00, 0x0A, 0x1F, 0x20, 0x22, 0x30, 0x39, 0x40, 0x5C,
                                         0x7E, 0x7F, 0x80, 0x81, 0xA1, 0xD6, 0xFE, 0xFF};
    std::vector<std::string> values{""};
    for (std::size_t length = 1; length <= 3; ++length) {
        std::vector<std::string> longer;
        for (const std::string& v : values) {
            if (v.size() != length - 1) continue;
            for (unsigned char b : interesting) longer.push_back(v + static_cast<char>(b));
        }
        values.insert(values.end(), longer.begin(), longer.end());
    }
    int clean = 0;
    for (const std::string& v : values) {
        const std::string reply = BuildReply({{"PLAIN", v}, {"STATUS", "0"}});
        const auto read = test::ReadReply(reply);
        ASSERT_TRUE(read.has_value()) << test::Hex(v);
        ASSERT_EQ(read->size(), 2u) << test::Hex(v);
        EXPECT_EQ((*read)[1].second.size(), 1u) << test::Hex(v);
        const auto alone = test::ReadGbk(v);
        if (test::IsCleanGbk(alone)) {
            ++clean;
            EXPECT_TRUE(test::SameChars(alone, (*read)[0].second)) << test::Hex(v);
        }
    }
    EXPECT_GT(clean, 1000);
}

TEST(BuildReply, WritesMembersInOrderWithoutBlanks) {
    EXPECT_EQ("sealInfoHandler({\"STATUS\":\"1\",\"ERR\":\"x\"});", StatusReply("1", "x"));
    EXPECT_EQ("sealInfoHandler({\"A\":\"\\\"\"});", BuildReply({{"A", "\""}}));
}

}  // namespace
}  // namespace qex::bridge
