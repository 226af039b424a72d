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

}  // namespace
}  // namespace qex
