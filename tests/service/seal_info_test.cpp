#include "service/seal_info.h"

#include <gtest/gtest.h>

#include "fake_seal_service.h"
#include "service/base64.h"

namespace qex {
namespace {

constexpr char kHash[] = "q83vEjRWeJCrze8SNFZ4kKvN7xI0VniQq83vEjRWeJA=";
// "单位" and "公章" in code page 936, written as bytes so every tree agrees.
const std::string kUnit = "\xb5\xa5\xce\xbb";
const std::string kName = "\xb9\xab\xd5\xc2";

class QuerySealInfoTest : public ::testing::Test {
protected:
    void Details(const std::string& decoded) {
        service.Reply("queryUkMsgByCerHashBase64", "", EncodeBase64(decoded));
    }
    bool Query() { return QuerySealInfo(service, kHash, time, unit, name); }

    testing::FakeSealService service;
    std::string time = "old-time", unit = "old-unit", name = "old-name";
};

TEST_F(QuerySealInfoTest, AsksWithTheDetailsCodeAndSplitsThreeFields) {
    Details("2026-12-09 10:00:00@@@@" + kUnit + "@@@@" + kName);
    ASSERT_TRUE(Query());
    ASSERT_EQ(service.Calls().size(), 1u);
    EXPECT_EQ(service.Calls()[0].operation, "queryUkMsgByCerHashBase64");
    EXPECT_EQ(service.Calls()[0].arg0, std::string("QEX:") + kHash);
    EXPECT_EQ(time, "2026-12-09 10:00:00");
    EXPECT_EQ(unit, kUnit);
    EXPECT_EQ(name, kName);
}

TEST_F(QuerySealInfoTest, ExtraFieldsAreIgnored) {
    Details("t@@@@u@@@@n@@@@more@@@@");
    ASSERT_TRUE(Query());
    EXPECT_EQ(name, "n");
}

TEST_F(QuerySealInfoTest, EmptyReplyLeavesTheOutputsAlone) {
    EXPECT_FALSE(Query());
    EXPECT_EQ(time, "old-time");
    EXPECT_EQ(unit, "old-unit");
    EXPECT_EQ(name, "old-name");
}

TEST_F(QuerySealInfoTest, RefusalKeepsTheDecodedTextForTheErrorReply) {
    Details("t@@@@QEXERROR: no such key@@@@n");
    EXPECT_FALSE(Query());
    EXPECT_EQ(time, "t@@@@QEXERROR: no such key@@@@n");
    EXPECT_EQ(unit, "old-unit");
}

TEST_F(QuerySealInfoTest, TextWithoutSeparatorFails) {
    Details("just a message");
    EXPECT_FALSE(Query());
    EXPECT_EQ(time, "just a message");
}

TEST_F(QuerySealInfoTest, NotBase64FailsAtTheSeparatorTest) {
    service.Reply("queryUkMsgByCerHashBase64", "", "t@@@@u@@@@n");
    EXPECT_FALSE(Query());
}

TEST_F(QuerySealInfoTest, AnEmptyFieldFails) {
    Details("t@@@@@@@@n");
    EXPECT_FALSE(Query());
    EXPECT_EQ(time, "t");
    EXPECT_EQ(unit, "");

    Details("t@@@@u@@@@n");  // the name is the last field: reachable once a separator is added
    EXPECT_TRUE(Query());
    Details("t@@@@u");
    EXPECT_FALSE(Query());
    Details("t@@@@u@@@@");
    EXPECT_FALSE(Query());
}

TEST_F(QuerySealInfoTest, DecodedNulEndsTheText) {
    Details(std::string("t@@@@u@@@@n\0tail", 16));
    ASSERT_TRUE(Query());
    EXPECT_EQ(name, "n");
}

}  // namespace
}  // namespace qex
