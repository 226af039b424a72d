// The real service wrappers in a Windows build, against the Linux seal
// service simulator on loopback. The endpoint goes through the real
// wsconfig.ini of this prefix's system folder.
#include "core/win/win32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/text_util.h"
#include "service/endpoint.h"
#include "service/field.h"
#include "service/protocol.h"
#include "service/seal_info.h"
#include "service/soap_calls.h"

namespace qex {
namespace {

// "测试单位" and "电子公章" in code page 936, as the simulator stores them.
const std::string kUnit = "\xb2\xe2\xca\xd4\xb5\xa5\xce\xbb";
const std::string kName = "\xb5\xe7\xd7\xd3\xb9\xab\xd5\xc2";

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string SettingsPath() {
    char dir[MAX_PATH] = {0};
    GetSystemDirectoryA(dir, sizeof(dir));
    return std::string(dir) + "\\wsconfig.ini";
}

void WriteEndpoint(const std::string& url) {
    ASSERT_TRUE(WritePrivateProfileStringA("WS", "URL", url.c_str(), SettingsPath().c_str()));
}

// One HTTP GET to the simulator's admin pages; the body, or "" on failure.
std::string HttpGet(const std::string& port, const std::string& path) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return "";
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof(addr));
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(std::atoi(port.c_str())));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string response;
    if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0) {
        const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        send(s, request.data(), static_cast<int>(request.size()), 0);
        char buf[4096];
        int n;
        while ((n = recv(s, buf, sizeof(buf), 0)) > 0) response.append(buf, n);
    }
    closesocket(s);
    const auto body = response.find("\r\n\r\n");
    return StartsWith(response, "HTTP/1.1 200") && body != std::string::npos ? response.substr(body + 4) : "";
}

class WineServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    // Later programs in this prefix find no settings of ours: the default endpoint.
    static void TearDownTestSuite() { DeleteFileA(SettingsPath().c_str()); }
    void SetUp() override {
        port = Env("QEX_SEALSERVICE_PORT");
        hash = Env("QEX_TEST_CERT_HASH");
        ASSERT_FALSE(port.empty()) << "run through run_with_sealservice.sh";
        WriteEndpoint(Url());
        Fault("none");
    }
    void TearDown() override { Fault("none"); }
    std::string Url() const { return "http://127.0.0.1:" + port + "/qexseal/ws/mycxf"; }
    void Fault(const std::string& mode) { ASSERT_EQ(HttpGet(port, "/admin/fault?mode=" + mode), "OK\n"); }

    std::string port, hash;
};

TEST_F(WineServiceTest, EndpointComesFromTheSystemFolderSettings) {
    char buffer[protocol::kEndpointBufferSize];
    ReadServiceEndpoint(buffer);
    EXPECT_EQ(std::string(buffer), Url());

    WriteEndpoint("http://127.0.0.1:1/" + std::string(300, 'p'));
    ReadServiceEndpoint(buffer);
    EXPECT_EQ(std::strlen(buffer), 199u);

    ASSERT_TRUE(DeleteFileA(SettingsPath().c_str()));
    ReadServiceEndpoint(buffer);
    EXPECT_STREQ(buffer, protocol::kDefaultEndpoint);
}

TEST_F(WineServiceTest, LoginCheckLoginQueryAndSealDetails) {
    EXPECT_EQ(CallQueryUkImgByCerBase64(hash), "QEXRET:http://127.0.0.1/seals/1.png");
    EXPECT_EQ(CallQueryUkNameByCerBase64(protocol::kLoginQuery + hash), "QEXRET@@@@NOURL@@@@1");
    SoapSealService service;
    std::string time, unit, name;
    ASSERT_TRUE(QuerySealInfo(service, hash, time, unit, name));
    EXPECT_EQ(unit, kUnit);
    EXPECT_EQ(name, kName);
}

TEST_F(WineServiceTest, SealLogKeepsChineseBytes) {
    const std::string text = "\xd6\xd0\xce\xc4<&>\x81\x40 1QEXDATAEND";
    EXPECT_EQ(CallAddUkSealLog(hash, text), "QEXRET");
    EXPECT_EQ(HttpGet(port, "/admin/last-log"), text);
    // On the wire: one character per byte, 0x80-0x9f as character references.
    const std::string wire = HttpGet(port, "/admin/last-request");
    EXPECT_NE(wire.find("<arg1>\xc3\x96\xc3\x90\xc3\x8e\xc3\x84&lt;&amp;&gt;&#x81;@ 1QEXDATAEND</arg1>"),
              std::string::npos)
        << wire;
    EXPECT_NE(wire.find("Content-Length: "), std::string::npos);
}

TEST_F(WineServiceTest, HandwritingCapture) {
    const std::string opened = WithTrailingSeparator(CallQueryUkNameByCerBase64(protocol::kOpenCapture));
    ASSERT_TRUE(StartsWith(opened, protocol::kSuccess));
    const std::string id = GetField(opened, protocol::kFieldSeparator, 1);
    ASSERT_FALSE(id.empty());
    EXPECT_FALSE(StartsWith(CallQueryUkNameByCerBase64(protocol::kPollCapture + id), protocol::kSuccess));
    ASSERT_EQ(HttpGet(port, "/admin/finish-capture?id=" + id + "&url=http%3A%2F%2Fh%2F1.png&data=QUJD"), "OK\n");
    EXPECT_EQ(CallQueryUkNameByCerBase64(protocol::kPollCapture + id), "QEXRET@@@@http://h/1.png@@@@QUJD");
}

TEST_F(WineServiceTest, Soap12AcceptedFaultsAndMissingReturnAreEmpty) {
    Fault("soap12");
    EXPECT_EQ(CallQueryUkImgByCerBase64(hash), "QEXRET:http://127.0.0.1/seals/1.png");
    for (const char* mode : {"soap11-fault", "soap12-fault", "no-return", "http-error"}) {
        Fault(mode);
        EXPECT_EQ(CallQueryUkImgByCerBase64(hash), "") << mode;
    }
}

TEST_F(WineServiceTest, UnusableEndpointsAreEmpty) {
    WriteEndpoint("");
    EXPECT_EQ(CallQueryUkImgByCerBase64(hash), "");
    WriteEndpoint("https://127.0.0.1:" + port + "/qexseal/ws/mycxf");
    EXPECT_EQ(CallQueryUkImgByCerBase64(hash), "");
    WriteEndpoint("http://127.0.0.1:1/qexseal/ws/mycxf");
    EXPECT_EQ(CallQueryUkImgByCerBase64(hash), "");
}

}  // namespace
}  // namespace qex
