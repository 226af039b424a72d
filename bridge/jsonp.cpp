#include "bridge/jsonp.h"

#include <cstdio>

#include "bridge/bridge_texts.h"

namespace qex::bridge {
namespace {

bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }
// Written with a backslash in front: the quote, the backslash itself and
// the control characters.
bool NeedsEscape(unsigned char c) { return c == '"' || c == '\\' || c < 0x20; }

}  // namespace

std::string JsonEscape(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    const std::size_t n = value.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        const bool last = i + 1 == n;  // the closing quote follows, unescaped
        const unsigned char next = last ? 0 : static_cast<unsigned char>(value[i + 1]);
        if (IsLeadByte(c) && !last && IsTrailByte(next)) {
            out.push_back(value[i]);
            out.push_back(value[++i]);
        } else if (IsLeadByte(c) && !last && NeedsEscape(next)) {
            // A lead byte without its trail byte, and the next byte of the
            // reply would be an escaping backslash: a GBK decoder would take
            // the two for one character, and the quote or control character
            // after them would no longer be escaped. Only here is the byte
            // given up. Anywhere else (the end of the value, where the
            // closing quote follows, included) it stays: the decoder reports
            // one bad character and reads the next byte afresh, so the reply
            // keeps its shape and the page sees what the key signed.
            out.push_back('?');
        } else if (NeedsEscape(c) && c >= 0x20) {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

std::string BuildReply(const Members& members) {
    std::string out = text::kCallback;
    out += "({";
    bool first = true;
    for (const auto& [key, value] : members) {
        if (!first) out += ',';
        first = false;
        out += '"';
        out += key;
        out += "\":\"";
        out += JsonEscape(value);
        out += '"';
    }
    out += "});";
    return out;
}

std::string StatusReply(const std::string& status, const std::string& err) {
    return BuildReply({{"STATUS", status}, {"ERR", err}});
}

}  // namespace qex::bridge
