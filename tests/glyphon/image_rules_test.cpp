#include "glyphon/image_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qex::glyphon {
namespace {

std::vector<unsigned char> Decode(const std::string& text, size_t capacity) {
    std::vector<unsigned char> out(capacity);
    size_t n = 0;
    EXPECT_TRUE(DecodeBase64Lenient(text.data(), text.size(), out.data(), out.size(), &n));
    out.resize(n);
    return out;
}

std::vector<unsigned char> Bytes(const std::string& s) { return std::vector<unsigned char>(s.begin(), s.end()); }

TEST(Base64Lenient, DecodesStandardAlphabetWithAllValues) {
    EXPECT_EQ(Decode("TWFu", 4), Bytes("Man"));
    EXPECT_EQ(Decode("+/+/", 4), (std::vector<unsigned char>{0xFB, 0xFF, 0xBF}));
    EXPECT_EQ(Decode("AAECAwQF", 8), (std::vector<unsigned char>{0, 1, 2, 3, 4, 5}));
}

TEST(Base64Lenient, LineBreaksPaddingAndStrayBytesAreSkipped) {
    const std::vector<unsigned char> plain = Decode("aGVsbG8gd29ybGQ", 64);
    EXPECT_EQ(plain, Bytes("hello world"));
    EXPECT_EQ(Decode("aGVs\r\nbG8g\nd29y bGQ=", 64), plain);
    EXPECT_EQ(Decode("aGVsbG8gd29ybGQ====", 64), plain);
    EXPECT_EQ(Decode("*a!G\xb5V\x01sbG8gd29ybGQ", 64), plain);
    // "=" in the middle ends nothing: the next characters continue the group.
    EXPECT_EQ(Decode("TW=Fu", 8), Bytes("Man"));
}

TEST(Base64Lenient, PartialLastGroupsGiveWholeBytesOnly) {
    EXPECT_EQ(Decode("TWE", 8), Bytes("Ma"));
    EXPECT_EQ(Decode("TQ", 8), Bytes("M"));
    EXPECT_TRUE(Decode("T", 8).empty());
    EXPECT_EQ(Decode("TWFuT", 8), Bytes("Man"));
}

TEST(Base64Lenient, TextWithoutAlphabetDecodesToNothing) {
    EXPECT_TRUE(Decode("", 1).empty());
    EXPECT_TRUE(Decode("====\r\n", 6).empty());
}

TEST(Base64Lenient, FailsOnlyWhenOutputDoesNotFit) {
    unsigned char out[4] = {};
    size_t n = 99;
    EXPECT_FALSE(DecodeBase64Lenient("TWFuTWFu", 8, out, 4, &n));
    EXPECT_EQ(n, 4u);  // what fitted was written
    EXPECT_EQ(out[3], 'M');
    EXPECT_FALSE(DecodeBase64Lenient("TWE", 3, out, 1, &n));
    EXPECT_TRUE(DecodeBase64Lenient("TWE", 3, out, 2, &n));
    EXPECT_EQ(n, 2u);
    // A buffer as long as the text always suffices.
    const std::string text = "QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVo";
    std::vector<unsigned char> buffer(text.size());
    EXPECT_TRUE(DecodeBase64Lenient(text.data(), text.size(), buffer.data(), buffer.size(), &n));
    EXPECT_EQ(n, 26u);
}

struct FitCase {
    long w, h, fitW, fitH;
};

TEST(FitImage, ShrinksIntoTheSquareKeepingTheRatioWithTruncation) {
    const FitCase cases[] = {
        {300, 200, 150, 100}, {200, 300, 100, 150}, {100, 80, 100, 80},  {400, 400, 150, 150},
        {151, 1, 150, 0},     {300, 150, 150, 75},  {100, 100, 100, 100}, {150, 150, 150, 150},
        {151, 151, 150, 150}, {1, 151, 0, 150},     {299, 200, 150, 100}, {450, 301, 150, 100},
    };
    for (const FitCase& c : cases) {
        const PixelSize s = FitImage(c.w, c.h);
        EXPECT_EQ(s.cx, c.fitW) << c.w << "x" << c.h;
        EXPECT_EQ(s.cy, c.fitH) << c.w << "x" << c.h;
    }
}

TEST(FitImage, HugeSidesDoNotOverflow) {
    const PixelSize s = FitImage(2000000000L, 1000000000L);
    EXPECT_EQ(s.cx, 150);
    EXPECT_EQ(s.cy, 75);
}

TEST(CentreOffset, TruncatesTowardZero) {
    EXPECT_EQ(CentreOffset(400, 150), 125);
    EXPECT_EQ(CentreOffset(301, 150), 75);
    EXPECT_EQ(CentreOffset(100, 150), -25);
    EXPECT_EQ(CentreOffset(100, 151), -25);  // -51 / 2 truncates to -25
}

}  // namespace
}  // namespace qex::glyphon
