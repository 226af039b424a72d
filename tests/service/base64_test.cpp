#include "service/base64.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace qex {
namespace {

std::vector<unsigned char> Bytes(std::size_t n) {
    std::vector<unsigned char> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>(i * 37 + 11);
    return v;
}

TEST(EncodeBase64, KnownVectorsWithPadding) {
    EXPECT_EQ(EncodeBase64(std::string("")), "");
    EXPECT_EQ(EncodeBase64(std::string("f")), "Zg==");
    EXPECT_EQ(EncodeBase64(std::string("fo")), "Zm8=");
    EXPECT_EQ(EncodeBase64(std::string("foo")), "Zm9v");
    EXPECT_EQ(EncodeBase64(std::string("foobar")), "Zm9vYmFy");
    EXPECT_EQ(EncodeBase64(std::string("\xfb\xff\xbf", 3)), "+/+/");
}

TEST(EncodeBase64, DigestsNeedTheirPaddedLength) {
    struct Case { std::size_t bytes, chars; } cases[] = {{32, 44}, {256, 344}, {20, 28}, {1, 4}};
    for (const auto& c : cases) {
        const auto src = Bytes(c.bytes);
        std::vector<char> exact(c.chars + 1, '\0');
        std::size_t capacity = c.chars;
        ASSERT_TRUE(EncodeBase64(src.data(), src.size(), exact.data(), &capacity)) << c.bytes;
        EXPECT_EQ(capacity, c.chars);
        EXPECT_EQ(std::strlen(exact.data()), c.chars) << "no NUL and nothing past the text";

        // One character short fails and leaves the buffer untouched.
        std::vector<char> small(c.chars + 1, '#');
        capacity = c.chars - 1;
        EXPECT_FALSE(EncodeBase64(src.data(), src.size(), small.data(), &capacity)) << c.bytes;
        EXPECT_EQ(capacity, c.chars - 1);
        EXPECT_EQ(std::string(small.begin(), small.end()), std::string(c.chars + 1, '#'));
    }
}

TEST(EncodeBase64, MissingArgumentsFail) {
    const unsigned char src[3] = {1, 2, 3};
    char dst[8];
    std::size_t capacity = sizeof(dst);
    EXPECT_FALSE(EncodeBase64(nullptr, 3, dst, &capacity));
    EXPECT_FALSE(EncodeBase64(src, 3, nullptr, &capacity));
    EXPECT_FALSE(EncodeBase64(src, 3, dst, nullptr));
}

TEST(DecodeBase64, RoundTripsEveryLength) {
    for (std::size_t n = 0; n < 70; ++n) {
        const auto src = Bytes(n);
        const std::string bytes(src.begin(), src.end());
        EXPECT_EQ(DecodeBase64(EncodeBase64(bytes)), bytes) << n;
    }
}

TEST(DecodeBase64, LineBreaksAndPaddingChangeNothing) {
    const auto src = Bytes(32);
    const std::string plain = EncodeBase64(std::string(src.begin(), src.end()));
    ASSERT_EQ(plain.back(), '=');
    std::string wrapped = plain.substr(0, 20) + "\r\n" + plain.substr(20, 16) + "\n" + plain.substr(36);
    std::string unpadded = plain;
    while (!unpadded.empty() && unpadded.back() == '=') unpadded.pop_back();

    EXPECT_EQ(DecodeBase64(wrapped), DecodeBase64(plain));
    EXPECT_EQ(DecodeBase64(unpadded), DecodeBase64(plain));
    EXPECT_EQ(DecodeBase64(plain + "===\r\n"), DecodeBase64(plain));
    EXPECT_EQ(DecodeBase64(plain).size(), 32u);
}

TEST(DecodeBase64, PartialGroupsGiveWholeBytesOnly) {
    // k characters of a group give 6k/8 bytes, rounded down.
    EXPECT_EQ(DecodeBase64(std::string("Zg")), "f");
    EXPECT_EQ(DecodeBase64(std::string("Zm8")), "fo");
    EXPECT_EQ(DecodeBase64(std::string("Z")), "");
    EXPECT_EQ(DecodeBase64(std::string("Zm9vY")), "foo");
}

TEST(DecodeBase64, StopsAtLengthOrNul) {
    const char text[] = "Zm9vYmFy";
    std::size_t capacity = 16;
    unsigned char out[16] = {0};
    EXPECT_TRUE(DecodeBase64(text, 4, out, &capacity));
    EXPECT_EQ(capacity, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "foo");

    const char withNul[] = "Zm9v\0YmFy";
    capacity = 16;
    EXPECT_TRUE(DecodeBase64(withNul, sizeof(withNul) - 1, out, &capacity));
    EXPECT_EQ(capacity, 3u);
}

TEST(DecodeBase64, TooSmallOrMissingDestinationCountsButDoesNotOverrun) {
    const std::string text = "Zm9vYmFy";  // 6 bytes
    unsigned char out[8];
    std::memset(out, '#', sizeof(out));
    std::size_t capacity = 4;
    EXPECT_FALSE(DecodeBase64(text.c_str(), text.size(), out, &capacity));
    EXPECT_EQ(capacity, 6u);
    EXPECT_EQ(out[4], '#');
    EXPECT_EQ(out[5], '#');

    capacity = 100;
    EXPECT_FALSE(DecodeBase64(text.c_str(), text.size(), nullptr, &capacity));
    EXPECT_EQ(capacity, 6u);

    capacity = 6;
    EXPECT_TRUE(DecodeBase64(text.c_str(), text.size(), out, &capacity));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 6), "foobar");
    EXPECT_FALSE(DecodeBase64(text.c_str(), text.size(), out, nullptr));
}

TEST(DecodeBase64, NonAlphabetTextDecodesToLittleOrNothing) {
    EXPECT_EQ(DecodeBase64(std::string("!!!! ***")), "");
    EXPECT_EQ(DecodeBase64(std::string("\xd6\xd0\xce\xc4")), "");
}

}  // namespace
}  // namespace qex
