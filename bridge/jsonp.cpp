#include "bridge/jsonp.h"

#include <cstdio>

#include "bridge/bridge_texts.h"

namespace qex::bridge {
namespace {

bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

}  // namespace

std::string JsonEscape(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    const std::size_t n = value.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        if (IsLeadByte(c) && i + 1 < n && IsTrailByte(static_cast<unsigned char>(value[i + 1]))) {
            out.push_back(value[i]);
            out.push_back(value[++i]);
        } else if (IsLeadByte(c)) {
            // A lead byte without its trail byte is not cp936 text; left as it
            // is, a browser would join it with the next byte (an escaping
            // backslash, say) and the string would no longer end where it
            // should.
            out.push_back('?');
        } else if (c == '"' || c == '\\') {
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
