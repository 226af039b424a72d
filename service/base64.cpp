#include "service/base64.h"

#include "core/base64_alphabet.h"

#include <vector>

namespace qex {

std::size_t Base64EncodedLength(std::size_t length) {
    return (length + 2) / 3 * 4;
}

bool EncodeBase64(const unsigned char* source, std::size_t length, char* dest,
                  std::size_t* capacity) {
    if (source == nullptr || dest == nullptr || capacity == nullptr) {
        return false;
    }
    const std::size_t needed = Base64EncodedLength(length);
    if (*capacity < needed) {
        return false;
    }
    char* out = dest;
    std::size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        const unsigned long group = (static_cast<unsigned long>(source[i]) << 16) |
                                    (static_cast<unsigned long>(source[i + 1]) << 8) | source[i + 2];
        *out++ = kBase64Alphabet[(group >> 18) & 0x3F];
        *out++ = kBase64Alphabet[(group >> 12) & 0x3F];
        *out++ = kBase64Alphabet[(group >> 6) & 0x3F];
        *out++ = kBase64Alphabet[group & 0x3F];
    }
    const std::size_t rest = length - i;
    if (rest > 0) {
        unsigned long group = static_cast<unsigned long>(source[i]) << 16;
        if (rest == 2) {
            group |= static_cast<unsigned long>(source[i + 1]) << 8;
        }
        *out++ = kBase64Alphabet[(group >> 18) & 0x3F];
        *out++ = kBase64Alphabet[(group >> 12) & 0x3F];
        *out++ = rest == 2 ? kBase64Alphabet[(group >> 6) & 0x3F] : '=';
        *out++ = '=';
    }
    *capacity = static_cast<std::size_t>(out - dest);
    return true;
}

bool DecodeBase64(const char* source, std::size_t length, unsigned char* dest,
                  std::size_t* capacity) {
    if (capacity == nullptr) {
        return false;
    }
    const std::size_t room = dest != nullptr ? *capacity : 0;
    std::size_t produced = 0;
    bool fits = dest != nullptr;
    std::size_t pos = 0;
    const auto at_end = [&] { return pos >= length || source == nullptr || source[pos] == '\0'; };
    while (!at_end()) {
        unsigned long group = 0;
        int count = 0;
        while (count < 4 && !at_end()) {
            const int sextet = Base64Value(static_cast<unsigned char>(source[pos++]));
            if (sextet >= 0) {
                group = (group << 6) | static_cast<unsigned long>(sextet);
                ++count;
            }
        }
        if (count == 0) {
            break;
        }
        group <<= 6 * (4 - count);
        const int bytes = count * 6 / 8;
        for (int b = 0; b < bytes; ++b) {
            const unsigned char value = static_cast<unsigned char>((group >> (16 - 8 * b)) & 0xFF);
            if (fits && produced < room) {
                dest[produced] = value;
            } else {
                fits = false;
            }
            ++produced;
        }
    }
    *capacity = produced;
    return fits;
}

std::string EncodeBase64(const std::string& bytes) {
    std::size_t capacity = Base64EncodedLength(bytes.size());
    std::string out(capacity, '\0');
    // A zero-length source still needs a valid pointer.
    static const unsigned char kNothing = 0;
    const unsigned char* src =
        bytes.empty() ? &kNothing : reinterpret_cast<const unsigned char*>(bytes.data());
    if (!EncodeBase64(src, bytes.size(), out.empty() ? nullptr : &out[0], &capacity)) {
        return std::string();
    }
    out.resize(capacity);
    return out;
}

std::string DecodeBase64(const std::string& text) {
    std::vector<unsigned char> buffer(text.size() / 4 * 3 + 3);
    std::size_t capacity = buffer.size();
    if (!DecodeBase64(text.c_str(), text.size(), buffer.data(), &capacity)) {
        return std::string();
    }
    return std::string(reinterpret_cast<const char*>(buffer.data()), capacity);
}

}  // namespace qex
