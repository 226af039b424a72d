#include "core/origin_gate.h"

#include <cstddef>

#include "core/texts.h"

namespace qex {
namespace {

constexpr int kHttpPort = 80;
constexpr int kHttpsPort = 443;
constexpr int kMaxPort = 65535;
// What a status line shows of a header value that names no origin.
constexpr std::size_t kShownHeaderBytes = 100;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerCase(const std::string& s) {
    std::string out(s);
    for (char& c : out) c = Lower(c);
    return out;
}

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool EqualsNoCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return i == a.size() && !b[i];
}

std::string Trim(const std::string& s) {
    std::size_t begin = 0, end = s.size();
    while (begin < end && IsBlank(s[begin])) ++begin;
    while (end > begin && IsBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

int DefaultPort(const std::string& scheme) {
    if (scheme == "http") return kHttpPort;
    if (scheme == "https") return kHttpsPort;
    return -1;
}

// scheme = ALPHA *( ALPHA / DIGIT / "+" / "-" / "." )
bool ValidScheme(const std::string& s) {
    if (s.empty() || !IsAlpha(s[0])) return false;
    for (char c : s)
        if (!IsAlpha(c) && !IsDigit(c) && c != '+' && c != '-' && c != '.') return false;
    return true;
}

// A registered name or an IPv4 address (letters, digits, "-", ".", "_"), or
// an IPv6 literal in brackets. Anything else (user information, percent
// escapes, blanks, bytes above 0x7F) is no host of an origin.
bool ValidHost(const std::string& h) {
    if (h.empty()) return false;
    if (h[0] == '[') {
        if (h.size() < 3 || h.back() != ']') return false;
        for (std::size_t i = 1; i + 1 < h.size(); ++i) {
            const char c = h[i];
            if (!IsDigit(c) && !(c >= 'a' && c <= 'f') && !(c >= 'A' && c <= 'F') && c != ':' && c != '.')
                return false;
        }
        return true;
    }
    for (char c : h)
        if (!IsAlpha(c) && !IsDigit(c) && c != '-' && c != '.' && c != '_') return false;
    return true;
}

// "host[:port]" of an authority, the port filled in from the scheme when
// none (or an empty one) is written.
bool ParseAuthority(const std::string& authority, const std::string& scheme, Origin* out) {
    std::string host = authority;
    std::string port;
    const std::size_t close = authority.rfind(']');
    const std::size_t colon = authority.rfind(':');
    if (colon != std::string::npos && (close == std::string::npos || colon > close)) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    if (!ValidHost(host)) return false;
    int number = DefaultPort(scheme);
    if (!port.empty()) {
        if (port.size() > 5) return false;
        number = 0;
        for (char c : port) {
            if (!IsDigit(c)) return false;
            number = number * 10 + (c - '0');
        }
        if (number < 1 || number > kMaxPort) return false;
    }
    out->scheme = scheme;
    out->host = LowerCase(host);
    out->port = number;
    return true;
}

// Splits "scheme://rest" and lower-cases the scheme.
bool SplitScheme(const std::string& text, std::string* scheme, std::string* rest) {
    const std::size_t sep = text.find("://");
    if (sep == std::string::npos) return false;
    *scheme = LowerCase(text.substr(0, sep));
    if (!ValidScheme(*scheme)) return false;
    *rest = text.substr(sep + 3);
    return true;
}

// What a status line may show of a header value: printable ASCII, cut.
std::string Shown(const std::string& value) {
    std::string out;
    for (char c : value.substr(0, kShownHeaderBytes))
        out += (c >= 0x20 && c < 0x7F) ? c : '?';
    if (value.size() > kShownHeaderBytes) out += "...";
    return out;
}

// Every value one header name was given in the head.
struct Header {
    std::vector<std::string> values;

    bool seen() const { return !values.empty(); }
    bool conflicting() const {
        for (const std::string& v : values)
            if (v != values.front()) return true;
        return false;
    }
};

}  // namespace

std::string Origin::ToString() const {
    std::string s = scheme + "://" + host;
    if (port != DefaultPort(scheme) && port > 0) s += ":" + std::to_string(port);
    return s;
}

bool ParseOrigin(const std::string& text, Origin* out) {
    std::string scheme, rest;
    if (!SplitScheme(text, &scheme, &rest)) return false;
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    if (rest.find_first_of("/?#@") != std::string::npos) return false;
    return ParseAuthority(rest, scheme, out);
}

bool OriginOfUrl(const std::string& url, Origin* out) {
    std::string scheme, rest;
    if (!SplitScheme(url, &scheme, &rest)) return false;
    const std::string authority = rest.substr(0, rest.find_first_of("/?#"));
    // Browsers never send user information in a Referer; a URL with it is
    // no page's address.
    if (authority.find('@') != std::string::npos) return false;
    return ParseAuthority(authority, scheme, out);
}

RequestSource FindRequestSource(const std::string& received) {
    RequestSource source;
    Header origin, referer;
    Header* last = nullptr;  // the header a folded line continues
    bool ended = false;
    bool requestLine = true;
    std::size_t pos = 0;
    while (pos < received.size()) {
        const std::size_t lf = received.find('\n', pos);
        if (lf == std::string::npos) break;  // a line cut off: the head did not end
        std::string line = received.substr(pos, lf - pos);
        pos = lf + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) {
            ended = true;
            break;
        }
        if (requestLine) {
            requestLine = false;
            continue;
        }
        if (IsBlank(line[0])) {
            // A continuation of the previous header's value: it becomes part
            // of that value, and an origin with blanks in it is no origin.
            if (last) last->values.back() += " " + Trim(line);
            continue;
        }
        const std::size_t colon = line.find(':');
        last = nullptr;
        if (colon == std::string::npos) continue;
        const std::string name = line.substr(0, colon);
        const std::string value = Trim(line.substr(colon + 1));
        if (EqualsNoCase(name, "Origin")) last = &origin;
        else if (EqualsNoCase(name, "Referer")) last = &referer;
        if (last) last->values.push_back(value);
    }
    if (!ended) {
        source.kind = RequestSource::kIncomplete;
        return source;
    }
    // A page's Origin, when it sends one, is the word: a sandboxed frame says
    // "null" and must not borrow the Referer of the page around it.
    const Header& used = origin.seen() ? origin : referer;
    if (!used.seen()) {
        source.kind = RequestSource::kNone;
        return source;
    }
    const std::string& value = used.values.front();
    source.header = Shown(value);
    if (used.conflicting()) {
        source.kind = RequestSource::kAmbiguous;
        return source;
    }
    const bool parsed = origin.seen() ? ParseOrigin(value, &source.origin) : OriginOfUrl(value, &source.origin);
    source.kind = parsed ? RequestSource::kOrigin : RequestSource::kUnusable;
    return source;
}

OriginGate OriginGate::FromSetting(const std::string& setting, std::vector<std::string>* ignored) {
    OriginGate gate;
    std::size_t pos = 0;
    while (pos < setting.size()) {
        const std::size_t end = setting.find_first_of(", \t", pos);
        const std::string entry = setting.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? setting.size() : end + 1;
        if (entry.empty()) continue;
        gate.enabled_ = true;
        Origin origin;
        if (ParseOrigin(entry, &origin)) {
            gate.origins_.push_back(origin);
        } else if (ignored) {
            ignored->push_back(entry);
        }
    }
    return gate;
}

bool OriginGate::Allows(const Origin& origin) const {
    for (const Origin& o : origins_)
        if (o == origin) return true;
    return false;
}

OriginGate::Verdict OriginGate::Check(const std::string& received) const {
    Verdict verdict;
    if (!enabled_) {
        verdict.allowed = true;
        return verdict;
    }
    const RequestSource source = FindRequestSource(received);
    switch (source.kind) {
    case RequestSource::kOrigin:
        verdict.allowed = Allows(source.origin);
        if (!verdict.allowed) verdict.statusLine = std::string(text::kOriginNotListed) + source.origin.ToString();
        break;
    case RequestSource::kNone:
        verdict.statusLine = text::kOriginNotGiven;
        break;
    case RequestSource::kUnusable:
        verdict.statusLine = std::string(text::kOriginUnusable) + source.header;
        break;
    case RequestSource::kAmbiguous:
        verdict.statusLine = text::kOriginAmbiguous;
        break;
    case RequestSource::kIncomplete:
        verdict.statusLine = text::kOriginHeadIncomplete;
        break;
    }
    return verdict;
}

}  // namespace qex
