#include "core/text_util.h"
#include "core/texts.h"

#include <gtest/gtest.h>

namespace qex {
namespace {

TEST(TextUtil, StartsWithComparesExactlyThePrefixBytes) {
    EXPECT_TRUE(StartsWith("QEXRET@@@@x", "QEXRET"));
    EXPECT_FALSE(StartsWith("qexret@@@@x", "QEXRET"));
    EXPECT_FALSE(StartsWith("QEXRE", "QEXRET"));
    EXPECT_TRUE(StartsWith("anything", ""));
}

TEST(TextUtil, ContainsFindsAnywhere) {
    EXPECT_TRUE(Contains("xxQEXERRORyy", "QEXERROR"));
    EXPECT_FALSE(Contains("QEXERRO", "QEXERROR"));
}

#ifndef QEX_UTF8_LITERALS
TEST(Texts, AreCodePage936Bytes) {
    // "电子签章": four two-byte characters in GBK.
    EXPECT_EQ(std::string("\xb5\xe7\xd7\xd3\xc7\xa9\xd5\xc2"), text::kSealCaption);
}
#endif

}  // namespace
}  // namespace qex
