#include "bridge/request.h"

#include "bridge/bridge_texts.h"

namespace qex::bridge {
namespace {

constexpr std::size_t kDataEndLen = sizeof(text::kDataEnd) - 1;
constexpr std::size_t kDataStartLen = sizeof(text::kDataStart) - 1;
constexpr std::size_t kUserStartLen = sizeof(text::kUserStart) - 1;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string RemoveAll(std::string s, const std::string& what) {
    for (std::size_t p = s.find(what); p != std::string::npos; p = s.find(what, p)) {
        s.erase(p, what.size());
    }
    return s;
}

}  // namespace

CutRequest CutSignRequest(const std::string& received) {
    CutRequest cut;
    const std::size_t a = received.find(text::kDataStart);
    std::size_t b = received.find(text::kDataEnd);
    if (a == std::string::npos || b == std::string::npos) {
        cut.kind = RequestKind::kNoData;
        return cut;
    }
    if (received.find(text::kUserStart) != std::string::npos) {
        b = received.find(text::kDataEnd, b + kDataEndLen);
        if (b == std::string::npos) {
            cut.kind = RequestKind::kUserWithoutEnd;
            return cut;
        }
    }
    cut.kind = RequestKind::kSign;
    // An end marker before "?data=" gives a negative length: the empty cut.
    cut.sign = (b > a ? received.substr(a, b - a) : std::string()) + text::kDataEnd;
    return cut;
}

SignRequest SplitSignRequest(const std::string& sign) {
    SignRequest req;
    const std::size_t u = sign.find(text::kUserStart);
    if (u != std::string::npos) {
        req.hasUnit = true;
        const std::size_t e = sign.find(text::kDataEnd, u);
        const std::size_t unitStart = u + kUserStartLen;
        if (e != std::string::npos && e > unitStart) {
            req.rawUnit = sign.substr(unitStart, e - unitStart);
        }
        // D runs from right after "?data=" to the first marker, which stands
        // right before "&user=" in a well-formed request.
        const std::ptrdiff_t len = static_cast<std::ptrdiff_t>(u) - 16;
        if (len > 0) req.data = sign.substr(kDataStartLen, static_cast<std::size_t>(len));
    } else {
        const std::ptrdiff_t len = static_cast<std::ptrdiff_t>(sign.size()) - 16;
        if (len > 0) req.data = sign.substr(kDataStartLen, static_cast<std::size_t>(len));
    }
    req.plain = RemoveAll(req.data, text::kDataEnd) + text::kDataEnd;
    return req;
}

std::string PercentDecode(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        if (text[i] == '%' && i + 3 <= n) {
            const int hi = HexValue(text[i + 1]);
            const int lo = HexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 3;
                continue;
            }
        }
        out.push_back(text[i]);
        ++i;
    }
    return out;
}

std::string DecodeUrlText(const std::string& text, ICodePage& codePage) {
    std::string bytes = PercentDecode(text);
    const std::size_t nul = bytes.find('\0');
    if (nul != std::string::npos) bytes.resize(nul);
    if (bytes.empty()) return std::string();
    return codePage.Utf8ToAnsi(bytes);
}

}  // namespace qex::bridge
