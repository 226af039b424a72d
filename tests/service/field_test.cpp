#include "service/field.h"

#include <gtest/gtest.h>

namespace qex {
namespace {

TEST(GetField, FieldCountsOnlyWhenADelimiterFollows) {
    EXPECT_EQ(GetField("A@@@@B", "@@@@", 0), "A");
    EXPECT_EQ(GetField("A@@@@B", "@@@@", 1), "");
    EXPECT_EQ(GetField("A@@@@B@@@@", "@@@@", 1), "B");
    EXPECT_EQ(GetField("A@@@@B@@@@", "@@@@", 2), "");
}

TEST(GetField, TextWithoutDelimiterHasNoFieldAtAll) {
    EXPECT_EQ(GetField("QEXRET", "@@@@", 0), "");
    EXPECT_EQ(GetField("", "@@@@", 0), "");
}

TEST(GetField, AdjacentDelimitersGiveAnEmptyField) {
    const std::string reply = "QEXRET@@@@@@@@1@@@@";
    EXPECT_EQ(GetField(reply, "@@@@", 0), "QEXRET");
    EXPECT_EQ(GetField(reply, "@@@@", 1), "");
    EXPECT_EQ(GetField(reply, "@@@@", 2), "1");
}

TEST(GetField, LeadingDelimiterMakesFieldZeroEmpty) {
    EXPECT_EQ(GetField("@@@@x@@@@", "@@@@", 0), "");
    EXPECT_EQ(GetField("@@@@x@@@@", "@@@@", 1), "x");
}

TEST(GetField, FiveAtSignsSplitAtTheFirstFour) {
    // The search resumes right after each match, so the fifth "@" begins the next field.
    EXPECT_EQ(GetField("a@@@@@b@@@@", "@@@@", 1), "@b");
}

TEST(GetField, OtherDelimitersAndBadArguments) {
    EXPECT_EQ(GetField("x,y,z", ",", 1), "y");
    EXPECT_EQ(GetField("x,y,z", "", 0), "");
    EXPECT_EQ(GetField("x,y,z", ",", -1), "");
}

TEST(GetField, TrailingSeparatorMakesTheLastFieldReachable) {
    const std::string reply = WithTrailingSeparator("QEXRET@@@@http://web/@@@@1");
    EXPECT_EQ(GetField(reply, "@@@@", 1), "http://web/");
    EXPECT_EQ(GetField(reply, "@@@@", 2), "1");
}

}  // namespace
}  // namespace qex
