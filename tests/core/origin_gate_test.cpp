#include "core/origin_gate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/texts.h"

namespace qex {
namespace {

std::string Head(const std::string& headers) {
    return "GET /?data=abcQEXDATAEND&_=1 HTTP/1.1\r\nHost: 127.0.0.1:10102\r\n" + headers + "\r\n";
}

OriginGate Gate(const std::string& setting) { return OriginGate::FromSetting(setting); }

TEST(OriginGate, SettingListsOriginsSeparatedByCommasAndBlanks) {
    std::vector<std::string> ignored;
    const OriginGate gate =
        OriginGate::FromSetting(" https://Seal.Example.cn, http://127.0.0.1:8080 ,,\thttp://x.example/ ", &ignored);
    ASSERT_TRUE(gate.enabled());
    ASSERT_EQ(gate.origins().size(), 3u);
    EXPECT_EQ(gate.origins()[0].ToString(), "https://seal.example.cn");
    EXPECT_EQ(gate.origins()[1].ToString(), "http://127.0.0.1:8080");
    EXPECT_EQ(gate.origins()[2].ToString(), "http://x.example");
    EXPECT_TRUE(ignored.empty());
}

TEST(OriginGate, EmptySettingLeavesTheGateOffAndEveryRequestThrough) {
    for (const char* setting : {"", "   ", " , ,\t"}) {
        const OriginGate gate = Gate(setting);
        EXPECT_FALSE(gate.enabled()) << setting;
        EXPECT_TRUE(gate.Check("").allowed);
        EXPECT_TRUE(gate.Check(Head("Referer: http://evil.example/\r\n")).allowed);
    }
}

TEST(OriginGate, EntriesThatAreNoOriginsAreIgnoredButKeepTheGateClosed) {
    std::vector<std::string> ignored;
    const OriginGate gate =
        OriginGate::FromSetting("seal.example.cn https://a.example/path http://b.example:99999 http://u@c.example",
                                &ignored);
    EXPECT_TRUE(gate.enabled());
    EXPECT_TRUE(gate.origins().empty());
    EXPECT_EQ(ignored, (std::vector<std::string>{"seal.example.cn", "https://a.example/path",
                                                 "http://b.example:99999", "http://u@c.example"}));
    EXPECT_FALSE(gate.Check(Head("Referer: https://a.example/path\r\n")).allowed);
}

TEST(OriginGate, MatchesSchemeAndHostWithoutCaseAndPortsWithDefaults) {
    const OriginGate gate = Gate("https://seal.example.cn, http://127.0.0.1:8080, http://[::1]");
    EXPECT_TRUE(gate.Check(Head("Origin: HTTPS://SEAL.example.CN\r\n")).allowed);
    EXPECT_TRUE(gate.Check(Head("Origin: https://seal.example.cn:443\r\n")).allowed);
    EXPECT_TRUE(gate.Check(Head("Referer: https://seal.example.cn:443/a/b?c=d#e\r\n")).allowed);
    EXPECT_TRUE(gate.Check(Head("Referer: http://127.0.0.1:8080/demo\r\n")).allowed);
    EXPECT_TRUE(gate.Check(Head("Referer: http://[::1]:80/\r\n")).allowed);

    EXPECT_FALSE(gate.Check(Head("Origin: http://seal.example.cn\r\n")).allowed);       // scheme
    EXPECT_FALSE(gate.Check(Head("Origin: https://seal.example.cn:8443\r\n")).allowed);  // port
    EXPECT_FALSE(gate.Check(Head("Referer: http://127.0.0.1/demo\r\n")).allowed);
    EXPECT_FALSE(gate.Check(Head("Referer: http://127.0.0.2:8080/\r\n")).allowed);
    EXPECT_FALSE(gate.Check(Head("Referer: https://seal.example.cn.evil.example/\r\n")).allowed);
    EXPECT_FALSE(gate.Check(Head("Referer: https://evil.example/https://seal.example.cn/\r\n")).allowed);
    EXPECT_FALSE(gate.Check(Head("Referer: https://seal.example.cn@evil.example/\r\n")).allowed);
}

TEST(OriginGate, OriginHeaderIsTheWordWhenPresent) {
    const OriginGate gate = Gate("https://seal.example.cn");
    // A sandboxed frame says "null": it must not borrow the Referer of the
    // page around it.
    const auto nullOrigin = gate.Check(Head("Origin: null\r\nReferer: https://seal.example.cn/\r\n"));
    EXPECT_FALSE(nullOrigin.allowed);
    EXPECT_EQ(nullOrigin.statusLine, std::string(text::kOriginUnusable) + "null");
    EXPECT_FALSE(gate.Check(Head("Origin: https://evil.example\r\nReferer: https://seal.example.cn/\r\n")).allowed);
    EXPECT_TRUE(gate.Check(Head("Referer: https://evil.example/\r\nOrigin: https://seal.example.cn\r\n")).allowed);
}

TEST(OriginGate, RefusalsSayWhy) {
    const OriginGate gate = Gate("https://seal.example.cn");
    EXPECT_EQ(gate.Check(Head("Referer: http://127.0.0.2:8081/page\r\n")).statusLine,
              std::string(text::kOriginNotListed) + "http://127.0.0.2:8081");
    EXPECT_EQ(gate.Check(Head("")).statusLine, text::kOriginNotGiven);
    EXPECT_EQ(gate.Check(Head("Referer: not a url\r\n")).statusLine,
              std::string(text::kOriginUnusable) + "not a url");
    EXPECT_EQ(gate.Check(Head("Referer: https://seal.example.cn/\r\nReferer: https://evil.example/\r\n")).statusLine,
              text::kOriginAmbiguous);
    EXPECT_EQ(gate.Check("GET /?data=aQEXDATAEND HTTP/1.1\r\nReferer: https://seal.example.cn/\r\n").statusLine,
              text::kOriginHeadIncomplete);
    // What a status line shows of a hostile value is printable and short.
    const auto shown = gate.Check(Head("Referer: \x01\xb0\xa1" + std::string(300, 'x') + "\r\n")).statusLine;
    EXPECT_EQ(shown.find('\x01'), std::string::npos);
    EXPECT_LT(shown.size(), 160u);
}

TEST(OriginGate, ReadsHeadsAsBrowsersAndOddClientsWriteThem) {
    const OriginGate gate = Gate("https://seal.example.cn");
    // Names without regard to case, values trimmed, LF alone as line end.
    EXPECT_TRUE(gate.Check("GET / HTTP/1.1\nreferer:   https://seal.example.cn/x \t\n\n").allowed);
    // Lines without a colon are passed over, not taken as the end.
    EXPECT_TRUE(gate.Check(Head("garbage line\r\nReferer: https://seal.example.cn/\r\n")).allowed);
    // The same header twice with the same value is one value.
    EXPECT_TRUE(gate.Check(Head("Origin: https://seal.example.cn\r\nOrigin: https://seal.example.cn\r\n")).allowed);
    // A folded line continues the value: an origin with a blank is none.
    EXPECT_FALSE(gate.Check(Head("Origin: https://seal.example.cn\r\n evil\r\n")).allowed);
    // A Referer written on the request line or in the body does not count.
    EXPECT_FALSE(gate.Check("GET /?Referer: https://seal.example.cn/ HTTP/1.1\r\n\r\nReferer: https://seal.example.cn/\r\n")
                     .allowed);
    // Headers that fill 8 KiB but end are read to their end.
    std::string many;
    while (many.size() < 8000) many += "X-Filler: " + std::string(60, 'f') + "\r\n";
    EXPECT_TRUE(gate.Check(Head(many + "Referer: https://seal.example.cn/\r\n")).allowed);
    // Cut off before the empty line: refused, whatever came before.
    EXPECT_FALSE(gate.Check(Head("Referer: https://seal.example.cn/\r\n" + many + many).substr(0, 8192)).allowed);
}

TEST(OriginGate, OriginsOfUrls) {
    Origin o;
    ASSERT_TRUE(OriginOfUrl("http://localhost:8080?x#y", &o));
    EXPECT_EQ(o.ToString(), "http://localhost:8080");
    ASSERT_TRUE(OriginOfUrl("HTTPS://Host.Example", &o));
    EXPECT_EQ(o.ToString(), "https://host.example");
    EXPECT_EQ(o.port, 443);
    for (const char* bad : {"", "/relative/path", "http:/one-slash", "http://", "http://:80/", "http://h:0/",
                            "http://h:port/", "http://h h/", "1http://h/", "http://h\xb0\xa1/", "http://[::1/"}) {
        EXPECT_FALSE(OriginOfUrl(bad, &o)) << bad;
    }
}

}  // namespace
}  // namespace qex
