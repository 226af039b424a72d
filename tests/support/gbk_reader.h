// A bridge reply as a browser reads it from a script element that says
// charset="gbk": the bytes cut into characters by the GBK decoder browsers
// use (the gb18030 decoder of the Encoding Standard), then the JSON object
// inside sealInfoHandler(...) read from those characters.
//
// Which character a group of bytes becomes does not matter for the reply's
// shape, so there is no code table here: a character is the bytes it was
// read from. What matters is where characters begin and end, and which
// ASCII bytes reach the JSON reader as themselves.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qex::test {

// A character: the bytes it was read from (a view into the text read, or
// into Ascii() for what an escape stands for).
struct GbkChar {
    std::string_view bytes;
    bool error = false;  // the decoder reports a bad character here
    bool IsAscii() const { return !error && bytes.size() == 1 && static_cast<unsigned char>(bytes[0]) < 0x80; }
};

inline std::string_view Ascii(char c) {
    static const struct Table {
        char chars[128];
        Table() {
            for (int i = 0; i < 128; ++i) chars[i] = static_cast<char>(i);
        }
    } table;
    return std::string_view(&table.chars[static_cast<unsigned char>(c) & 0x7F], 1);
}

// `s` must outlive the characters (they view into it).
inline std::vector<GbkChar> ReadGbk(std::string_view s) {
    std::vector<GbkChar> out;
    out.reserve(s.size());
    const std::size_t n = s.size();
    const auto at = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const auto lead = [](unsigned c) { return c >= 0x81 && c <= 0xFE; };
    const auto digit = [](unsigned c) { return c >= 0x30 && c <= 0x39; };
    std::size_t i = 0;
    while (i < n) {
        const unsigned c = at(i);
        if (c < 0x80 || c == 0x80) {  // ASCII, and 0x80 (the euro sign)
            out.push_back({s.substr(i, 1), false});
            ++i;
        } else if (c == 0xFF || i + 1 == n) {
            out.push_back({s.substr(i, 1), true});
            ++i;
        } else if (digit(at(i + 1))) {
            // The start of a four-byte character; when the rest is not
            // there, the lead is bad and what followed is read afresh.
            if (i + 3 < n && lead(at(i + 2)) && digit(at(i + 3))) {
                out.push_back({s.substr(i, 4), false});
                i += 4;
            } else {
                out.push_back({s.substr(i, 1), true});
                ++i;
            }
        } else if ((at(i + 1) >= 0x40 && at(i + 1) <= 0x7E) || (at(i + 1) >= 0x80 && at(i + 1) <= 0xFE)) {
            out.push_back({s.substr(i, 2), false});
            i += 2;
        } else if (at(i + 1) < 0x80) {
            out.push_back({s.substr(i, 1), true});  // an ASCII byte after it is read afresh
            ++i;
        } else {
            out.push_back({s.substr(i, 2), true});  // 0xFF goes with the lead
            i += 2;
        }
    }
    return out;
}

// The members of "sealInfoHandler({...});" as a browser gets them: each
// value as the characters it decoded to (an escape gives the one ASCII
// character it stands for). Nothing when the text is not one such call
// with a flat object of strings. `reply` must outlive the result.
using ReadMembers = std::vector<std::pair<std::string, std::vector<GbkChar>>>;

inline std::optional<ReadMembers> ReadReply(const std::string& reply) {
    const std::vector<GbkChar> chars = ReadGbk(reply);
    std::size_t i = 0;
    const auto isAscii = [&](char want) { return i < chars.size() && chars[i].IsAscii() && chars[i].bytes[0] == want; };
    const auto expect = [&](const std::string& text) {
        for (char c : text) {
            if (!isAscii(c)) return false;
            ++i;
        }
        return true;
    };
    const auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
    // One JSON string from the opening quote on.
    const auto readString = [&](std::vector<GbkChar>* value) {
        if (!expect("\"")) return false;
        for (;;) {
            if (i >= chars.size()) return false;
            const GbkChar& ch = chars[i];
            if (!ch.IsAscii()) {
                value->push_back(ch);
                ++i;
                continue;
            }
            const char c = ch.bytes[0];
            ++i;
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;  // raw control characters are not JSON
            if (c != '\\') {
                value->push_back(ch);
                continue;
            }
            if (i >= chars.size() || !chars[i].IsAscii()) return false;
            const char e = chars[i].bytes[0];
            ++i;
            if (e == '"' || e == '\\' || e == '/') {
                value->push_back({Ascii(e), false});
            } else if (e == 'u') {
                std::string digits;
                for (int k = 0; k < 4; ++k, ++i) {
                    if (i >= chars.size() || !chars[i].IsAscii() || !hex(chars[i].bytes[0])) return false;
                    digits += chars[i].bytes[0];
                }
                const unsigned long code = std::stoul(digits, nullptr, 16);
                if (code >= 0x80) return false;  // the bridge escapes control characters only
                value->push_back({Ascii(static_cast<char>(code)), false});
            } else if (e == 'n' || e == 't' || e == 'r' || e == 'b' || e == 'f') {
                const char real = e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e == 'b' ? '\b' : '\f';
                value->push_back({Ascii(real), false});
            } else {
                return false;
            }
        }
    };
    ReadMembers members;
    if (!expect("sealInfoHandler({")) return std::nullopt;
    for (bool first = true;; first = false) {
        if (isAscii('}')) break;
        if (!first && !expect(",")) return std::nullopt;
        std::vector<GbkChar> key, value;
        if (!readString(&key) || !expect(":") || !readString(&value)) return std::nullopt;
        std::string keyText;
        for (const GbkChar& k : key) keyText.append(k.bytes.data(), k.bytes.size());
        members.emplace_back(keyText, value);
    }
    if (!expect("});") || i != chars.size()) return std::nullopt;
    return members;
}

// The characters a value is read as when it stands alone; those of a value
// that is clean GBK text (no bad character) must come back from a reply
// unchanged.
inline bool IsCleanGbk(const std::vector<GbkChar>& chars) {
    for (const GbkChar& c : chars) {
        if (c.error) return false;
    }
    return true;
}

// The bytes of `s` in hexadecimal, for failure messages.
inline std::string Hex(const std::string& s) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
        out += ' ';
    }
    return out;
}

inline bool SameChars(const std::vector<GbkChar>& a, const std::vector<GbkChar>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (a[k].bytes != b[k].bytes || a[k].error != b[k].error) return false;
    }
    return true;
}

}  // namespace qex::test
