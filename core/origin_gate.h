// The origin gate of the bridge: when an administrator lists the pages that
// may seal ("wsconfig.ini", [BRIDGE] ORIGINS), a request is served only when
// the page it comes from is one of them. The page is known by the request's
// Origin header or, without one, by the scheme, host and port of its
// Referer (a classic script element sends no Origin). Everything here works
// on the bytes the listener read, so it is tested and fuzzed natively.
//
// The gate keeps web pages out. It cannot stop a program running as the
// user, which can send any header it likes.
#pragma once

#include <string>
#include <vector>

namespace qex {

// "scheme://host[:port]", scheme and host in lower case and the port always
// filled in (80 for http, 443 for https); -1 for a scheme without a default
// port that names none.
struct Origin {
    std::string scheme;
    std::string host;
    int port = -1;

    std::string ToString() const;
    bool operator==(const Origin& o) const { return scheme == o.scheme && host == o.host && port == o.port; }
};

// An origin as an administrator or a browser writes it: "scheme://host" with
// an optional ":port" and at most a trailing "/". False for anything else
// (a path, user information, a bad port, "null").
bool ParseOrigin(const std::string& text, Origin* out);

// The origin of an absolute URL such as a Referer: its path, query and
// fragment play no part. False when the text is not such a URL.
bool OriginOfUrl(const std::string& url, Origin* out);

// Where a request says it comes from.
struct RequestSource {
    enum Kind {
        kOrigin,      // `origin` holds the page's origin
        kNone,        // neither an Origin nor a Referer header
        kUnusable,    // the header is there but names no origin ("null", not a URL)
        kAmbiguous,   // the same header twice with different values
        kIncomplete,  // the head does not end (an empty line) in what was read
    };
    Kind kind = kNone;
    Origin origin;
    std::string header;  // the value that was looked at, for the status line
};

// Reads the request head in `received` (the request line, then header lines
// up to an empty line; CR LF or LF alone). Header names are matched without
// regard to case; a line without a colon is passed over; a line that starts
// with a blank continues the header before it.
RequestSource FindRequestSource(const std::string& received);

// The list of origins that may seal.
class OriginGate {
public:
    OriginGate() = default;

    // Parses the setting: origins separated by commas and/or blanks. Entries
    // that are not origins are left out and listed in `ignored`. A setting
    // that names something, even if nothing valid, turns the gate on: the
    // administrator asked for a gate, and a typo must not open it.
    static OriginGate FromSetting(const std::string& setting, std::vector<std::string>* ignored = nullptr);

    bool enabled() const { return enabled_; }
    bool Allows(const Origin& origin) const;
    const std::vector<Origin>& origins() const { return origins_; }

    struct Verdict {
        bool allowed = false;
        std::string statusLine;  // why a request was refused (code page 936)
    };
    // The gate's decision on one request (the whole head the listener read).
    // With the gate off every request is allowed.
    Verdict Check(const std::string& received) const;

private:
    bool enabled_ = false;
    std::vector<Origin> origins_;
};

}  // namespace qex
