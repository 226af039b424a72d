// Figures for the bridge: how long the sign flow takes per request (the
// logic alone, with a host that answers at once), and how many requests the
// loopback listener serves per second one after another, reply and
// graceful close included.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "bridge/listener.h"
#include "bridge/sign_handler.h"

namespace {

using Clock = std::chrono::steady_clock;

class PassThrough : public qex::ICodePage {
public:
    std::string Utf8ToAnsi(const std::string& s) override { return s; }
};

class QuickHost : public qex::bridge::IBridgeHost, public qex::bridge::IListenerHost {
public:
    void AppendStatus(const std::string&) override {}
    void ShowSetupError(const std::string& text) override { std::fprintf(stderr, "setup: %s\n", text.c_str()); }
    bool IsRunning() override { return running; }
    bool NeedHW() override { return false; }
    std::string GetHWResult() override { return ""; }
    void RequestHandwriting() override {}
    void ClearHWResultIf(const std::string&) override {}
    std::string GetSealImgURL() override { return "http://127.0.0.1:8080/seal/1.png"; }
    std::string GetCertHashBase64() override { return "C1TX892eb+eD5e32GpnAOhpnnkzjHhjf9PS7jlYherQ="; }
    bool QuerySealInfo(std::string& t, std::string& u, std::string& n) override {
        t = "2026-12-09 10:00:00";
        // The pass-through code page leaves the page's unit in UTF-8.
        u = "\xe6\xb5\x8b\xe8\xaf\x95\xe5\x8d\x95\xe4\xbd\x8d";
        n = "\xb5\xe7\xd7\xd3\xb9\xab\xd5\xc2";
        return true;
    }
    std::string LoginAndSign(const std::string&) override { return std::string(344, 'S'); }
    bool running = true;
};

class NullChannel : public qex::bridge::IReplyChannel {
public:
    void SendReply(const std::string& body) override { bytes += body.size(); }
    std::size_t bytes = 0;
};

const char kRequest[] =
    "GET /?data=%E5%90%8C%E6%84%8F%E6%8B%A8%E6%AC%BEQEXDATAEND&user=%E6%B5%8B%E8%AF%95%E5%8D%95%E4%BD%8DQEXDATAEND"
    "&_=1765274400000 HTTP/1.1\r\nHost: 127.0.0.1:10102\r\nUser-Agent: bench\r\nAccept: */*\r\n\r\n";

void BenchFlow() {
    QuickHost host;
    PassThrough cp;
    NullChannel channel;
    const int n = 200000;
    const auto start = Clock::now();
    for (int i = 0; i < n; ++i) qex::bridge::ParseRequest(kRequest, host, cp, channel);
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    std::printf("sign flow (logic only): %d requests, %.2f us each, %zu reply bytes each\n", n, us / n,
                channel.bytes / n);
}

void BenchListener() {
    QuickHost host;
    PassThrough cp;
    qex::bridge::ListenerOptions options;
    options.port = 0;
    options.drainMs = 200;
    qex::bridge::Listener listener(
        host,
        [&](const std::string& request, qex::bridge::IReplyChannel& channel) {
            qex::bridge::ParseRequest(request, host, cp, channel);
        },
        options);
    const qex::net::Socket s = listener.CreateListenSocket();
    sockaddr_in addr;
    qex::net::SockLen len = sizeof addr;
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    std::thread server([&] { listener.Serve(s); });

    const int n = 2000;
    const auto start = Clock::now();
    for (int i = 0; i < n; ++i) {
        const qex::net::Socket c = socket(AF_INET, SOCK_STREAM, 0);
        connect(c, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        send(c, kRequest, sizeof kRequest - 1, 0);
        char buf[2048];
        while (recv(c, buf, sizeof buf, 0) > 0) {
        }
        qex::net::CloseSocket(c);
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("listener on loopback: %d requests one after another, %.3f ms each, %.0f requests/s\n", n,
                ms / n, n / (ms / 1000));
    host.running = false;
    qex::bridge::Listener::Close(s);
    server.join();
}

}  // namespace

int main() {
    BenchFlow();
    BenchListener();
    return 0;
}
