#include "glyphon/image_rules.h"

#include "core/base64_alphabet.h"

namespace qex::glyphon {

bool DecodeBase64Lenient(const char* text, std::size_t length, unsigned char* out,
                         std::size_t capacity, std::size_t* written) {
    std::size_t n = 0;
    unsigned long group = 0;
    int count = 0;
    auto put = [&](unsigned char byte) {
        if (n >= capacity) return false;
        out[n++] = byte;
        return true;
    };
    bool fits = true;
    for (std::size_t i = 0; i < length && fits; ++i) {
        const int v = Base64Value(static_cast<unsigned char>(text[i]));
        if (v < 0) continue;
        group = (group << 6) | static_cast<unsigned long>(v);
        if (++count == 4) {
            fits = put(static_cast<unsigned char>(group >> 16)) &&
                   put(static_cast<unsigned char>(group >> 8)) &&
                   put(static_cast<unsigned char>(group));
            group = 0;
            count = 0;
        }
    }
    // A partial group carries 12 or 18 bits: one or two whole bytes.
    if (fits && count == 2) {
        fits = put(static_cast<unsigned char>(group >> 4));
    } else if (fits && count == 3) {
        fits = put(static_cast<unsigned char>(group >> 10)) &&
               put(static_cast<unsigned char>(group >> 2));
    }
    if (written) *written = n;
    return fits;
}

PixelSize FitImage(long width, long height) {
    // 64-bit products: a decoder may report sides far beyond what fits in
    // 32 bits once multiplied by 150.
    long long w = width;
    long long h = height;
    if (w > h && w > kMaxSide) {
        h = h * kMaxSide / w;
        w = kMaxSide;
    } else if (w <= h && h > kMaxSide) {
        w = w * kMaxSide / h;
        h = kMaxSide;
    }
    return PixelSize{static_cast<long>(w), static_cast<long>(h)};
}

long CentreOffset(long outer, long inner) {
    return (outer - inner) / 2;
}

}  // namespace qex::glyphon
