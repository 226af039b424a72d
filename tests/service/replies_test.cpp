#include "service/replies.h"

#include <gtest/gtest.h>

namespace qex {
namespace {

TEST(LoginCheckReply, NeedsMarkerWithColonAtTheStart) {
    std::string url = "unchanged";
    EXPECT_TRUE(ParseLoginCheckReply("QEXRET:http://img/1.png", &url));
    EXPECT_EQ(url, "http://img/1.png");
    EXPECT_TRUE(ParseLoginCheckReply("QEXRET:", &url));
    EXPECT_EQ(url, "");

    url = "unchanged";
    EXPECT_FALSE(ParseLoginCheckReply("QEXRET", &url));
    EXPECT_FALSE(ParseLoginCheckReply(" QEXRET:x", &url));
    EXPECT_FALSE(ParseLoginCheckReply("qexret:x", &url));
    EXPECT_FALSE(ParseLoginCheckReply("", &url));
    EXPECT_EQ(url, "unchanged");
}

TEST(LoginQueryReply, MarkerAnywhereAndFieldsAfterIt) {
    LoginQueryReply r = ParseLoginQueryReply("xxQEXRETyy@@@@http://web/@@@@1");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.webUrl, "http://web/");
    EXPECT_TRUE(r.openWebUrl);
    EXPECT_TRUE(r.needHandwriting);

    r = ParseLoginQueryReply("QEXRET@@@@nourl@@@@0");
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.openWebUrl);
    EXPECT_FALSE(r.needHandwriting);

    r = ParseLoginQueryReply("QEXRET@@@@NOURL");
    EXPECT_FALSE(r.needHandwriting);
    EXPECT_FALSE(r.openWebUrl);

    EXPECT_FALSE(ParseLoginQueryReply("QEXERROR@@@@x@@@@1").ok);
    EXPECT_FALSE(ParseLoginQueryReply("").ok);
}

TEST(CaptureOpenReply, RefusalWinsThenCaseSensitiveMarker) {
    std::string id, qr;
    EXPECT_EQ(ParseCaptureOpenReply("QEXRET@@@@abc@@@@iVBOR", &id, &qr), CaptureOpenResult::kOpened);
    EXPECT_EQ(id, "abc");
    EXPECT_EQ(qr, "iVBOR");
    EXPECT_EQ(ParseCaptureOpenReply("QEXRET@@@@QEXERROR", &id, &qr), CaptureOpenResult::kRefused);
    EXPECT_EQ(ParseCaptureOpenReply("qexret@@@@abc@@@@iVBOR", &id, &qr), CaptureOpenResult::kDataError);
    EXPECT_EQ(ParseCaptureOpenReply("", &id, &qr), CaptureOpenResult::kDataError);
}

TEST(CapturePollReply, FinishedOnlyWithBothFields) {
    std::string url, data;
    EXPECT_EQ(ParseCapturePollReply("QEXRET@@@@http://hw/1.png@@@@QUJD", &url, &data),
              CapturePollResult::kFinished);
    EXPECT_EQ(url, "http://hw/1.png");
    EXPECT_EQ(data, "QUJD");
    EXPECT_EQ(ParseCapturePollReply("QEXRET@@@@http://hw/1.png@@@@", &url, &data), CapturePollResult::kPending);
    EXPECT_EQ(ParseCapturePollReply("QEXRET", &url, &data), CapturePollResult::kPending);
    EXPECT_EQ(ParseCapturePollReply("QEXWAIT", &url, &data), CapturePollResult::kPendingCounted);
    EXPECT_EQ(ParseCapturePollReply("", &url, &data), CapturePollResult::kPendingCounted);
    EXPECT_EQ(ParseCapturePollReply("x QEXERROR", &url, &data), CapturePollResult::kRefused);
}

}  // namespace
}  // namespace qex
