#include "bridge/bridge_texts.h"
#include "bridge/listener.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qex::bridge {
namespace {

using namespace std::chrono_literals;

#ifdef _WIN32
class WinsockEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
    }
    void TearDown() override { WSACleanup(); }
};
const auto* const kWinsock = ::testing::AddGlobalTestEnvironment(new WinsockEnvironment);
constexpr int kAddrInUse = WSAEADDRINUSE;
#else
constexpr int kAddrInUse = EADDRINUSE;
#endif

class FakeListenerHost : public IListenerHost {
public:
    void AppendStatus(const std::string& line) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(line);
        changed_.notify_all();
    }
    void ShowSetupError(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        errors_.push_back(text);
    }
    bool IsRunning() override { return running.load(); }

    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    std::vector<std::string> Errors() {
        std::lock_guard<std::mutex> lock(mutex_);
        return errors_;
    }
    // Waits (with a generous ceiling) until at least `n` lines are in.
    bool WaitForLines(std::size_t n) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 20s, [&] { return lines_.size() >= n; });
    }

    std::atomic<bool> running{true};

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_, errors_;
};

unsigned short BoundPort(net::Socket s) {
    sockaddr_in addr;
    net::SockLen len = sizeof addr;
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
}

// Connects from `from` (a loopback address) and leaves the connection open;
// kInvalidSocket when the connection fails.
net::Socket Connect(unsigned short port, const char* from = "127.0.0.1") {
    net::Socket s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local;
    std::memset(&local, 0, sizeof local);
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = inet_addr(from);
    bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = inet_addr("127.0.0.1");
    if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        net::CloseSocket(s);
        return net::kInvalidSocket;
    }
    return s;
}

// A browser stand-in: connects from `from`, sends `request`, reads until the
// server closes.
std::string Exchange(unsigned short port, const std::string& request, const char* from = "127.0.0.1") {
    const net::Socket s = Connect(port, from);
    if (s == net::kInvalidSocket) return "<connect failed>";
    if (!request.empty()) send(s, request.data(), static_cast<int>(request.size()), 0);
    std::string reply;
    char buf[1024];
    while (net::WaitReadable(s, 20000)) {
        const int n = static_cast<int>(recv(s, buf, sizeof buf, 0));
        if (n <= 0) break;
        reply.append(buf, static_cast<std::size_t>(n));
    }
    net::CloseSocket(s);
    return reply;
}

void SendText(net::Socket s, const std::string& bytes) {
    int len = static_cast<int>(bytes.size());
    ASSERT_EQ(0, SendAll(s, bytes.data(), len));
}

// Reads until the server closes (with a generous ceiling); the body, or
// "<open>" when the connection stayed open.
std::string BodyWhenClosed(net::Socket s) {
    std::string reply;
    char buf[1024];
    for (;;) {
        if (!net::WaitReadable(s, 20000)) return "<open>";
        const int n = static_cast<int>(recv(s, buf, sizeof buf, 0));
        if (n <= 0) break;
        reply.append(buf, static_cast<std::size_t>(n));
    }
    const std::size_t head = reply.find("\r\n\r\n");
    return head == std::string::npos ? reply : reply.substr(head + 4);
}

// True when the server has neither sent anything nor closed.
bool StillOpen(net::Socket s) { return !net::WaitReadable(s, 0); }

class ListenerTest : public ::testing::Test {
protected:
    void Start(RequestHandler handler, ListenerOptions options = {}) {
        options.port = 0;
        listener_ = std::make_unique<Listener>(host, std::move(handler), options);
        socket_ = listener_->CreateListenSocket();
        ASSERT_NE(net::kInvalidSocket, socket_);
        port = BoundPort(socket_);
        thread_ = std::thread([this] { served_ = listener_->Serve(socket_); });
    }
    void TearDown() override {
        if (thread_.joinable()) {
            host.running = false;
            Listener::Close(socket_);
            thread_.join();
            EXPECT_TRUE(served_);
        }
    }

    FakeListenerHost host;
    unsigned short port = 0;

private:
    std::unique_ptr<Listener> listener_;
    net::Socket socket_ = net::kInvalidSocket;
    std::thread thread_;
    bool served_ = false;
};

TEST_F(ListenerTest, RepliesWithExactlyTheFourHeaderPartsAndClosesTheConnection) {
    std::string seen;
    Start([&](const std::string& request, IReplyChannel& channel) {
        seen = request;
        channel.SendReply("abc\xd6\xd0");  // three ASCII bytes and one two-byte character
    });
    const std::string reply = Exchange(port, "GET /?data=xQEXDATAEND HTTP/1.1\r\n\r\n");
    EXPECT_EQ(std::string("HTTP/1.0 200 OK\r\nContent-type: text/html\r\nContent-Length: 5\r\n\r\nabc\xd6\xd0"),
              reply);
    EXPECT_EQ("GET /?data=xQEXDATAEND HTTP/1.1\r\n\r\n", seen);
    ASSERT_TRUE(host.WaitForLines(2));
    EXPECT_EQ(text::kConnectionReceived, host.Lines()[0]);
    EXPECT_EQ("127.0.0.1", host.Lines()[1]);
}

TEST_F(ListenerTest, ServesConnectionsOneAfterAnother) {
    int calls = 0;
    Start([&](const std::string&, IReplyChannel& channel) { channel.SendReply(std::to_string(++calls)); });
    for (int i = 1; i <= 20; ++i) {
        const std::string reply = Exchange(port, "x");
        ASSERT_EQ(std::to_string(i), reply.substr(reply.find("\r\n\r\n") + 4));
    }
    ASSERT_TRUE(host.WaitForLines(40));
}

TEST_F(ListenerTest, PeerOutsideTheLocalPrefixIsClosedWithoutReply) {
    int calls = 0;
    Start([&](const std::string&, IReplyChannel& channel) {
        ++calls;
        channel.SendReply("x");
    });
    EXPECT_EQ("", Exchange(port, "GET /?data=xQEXDATAEND", "127.0.0.2"));
    ASSERT_TRUE(host.WaitForLines(2));
    EXPECT_EQ("127.0.0.2", host.Lines()[1]);
    EXPECT_EQ(0, calls);
}

TEST_F(ListenerTest, OnlyTheFirst500BytesAreReadAndTheReplyStillArrivesIntact) {
    std::size_t seenSize = 0;
    Start([&](const std::string& request, IReplyChannel& channel) {
        seenSize = request.size();
        channel.SendReply("ok");
    });
    // Bytes that never end a head (the rest is drained), a browser's head
    // of some 900 bytes (the rest is read at once), and one whose end comes
    // later (drained until it comes).
    const std::string head = "GET /?data=xQEXDATAEND HTTP/1.1\r\n" + std::string(900, 'h') + "\r\n\r\n";
    for (const std::string& request : {std::string(4000, 'a'), head}) {
        seenSize = 0;
        const std::string reply = Exchange(port, request);
        EXPECT_LE(seenSize, 500u);
        EXPECT_GT(seenSize, 0u);
        EXPECT_EQ("ok", reply.substr(reply.size() - 2));
    }
    const net::Socket late = Connect(port);
    SendText(late, head.substr(0, 700));
    std::this_thread::sleep_for(100ms);
    SendText(late, head.substr(700));
    EXPECT_EQ("ok", BodyWhenClosed(late));
    net::CloseSocket(late);
}

// The requests the handler saw, in order; answers each non-empty one with
// "ok:" and its size.
class Recorder {
public:
    RequestHandler Handler() {
        return [this](const std::string& request, IReplyChannel& channel) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                seen_.push_back(request);
                changed_.notify_all();
            }
            if (!request.empty()) channel.SendReply("ok:" + std::to_string(request.size()));
        };
    }
    bool WaitFor(std::size_t n) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 20s, [&] { return seen_.size() >= n; });
    }
    std::vector<std::string> Seen() {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> seen_;
};

TEST_F(ListenerTest, SilentPeersDoNotDelayARealRequestAndAreHandedOnWhenTheyClose) {
    ListenerOptions options;
    options.requestWaitMs = 60000;  // the silent ones cannot time out during the test
    Recorder recorder;
    Start(recorder.Handler(), options);
    std::vector<net::Socket> silent;
    for (int i = 0; i < 6; ++i) {
        silent.push_back(Connect(port));
        ASSERT_NE(net::kInvalidSocket, silent.back());
    }
    // All six are accepted, each with its two status lines, before the
    // request arrives.
    ASSERT_TRUE(host.WaitForLines(12));
    const std::string reply = Exchange(port, "hello");
    EXPECT_EQ("ok:5", reply.substr(reply.find("\r\n\r\n") + 4));
    EXPECT_EQ(std::vector<std::string>{"hello"}, recorder.Seen());
    for (net::Socket s : silent) EXPECT_TRUE(StillOpen(s));
    EXPECT_EQ(14u, host.Lines().size());

    // A peer that closes without sending is an empty request.
    for (net::Socket s : silent) net::CloseSocket(s);
    ASSERT_TRUE(recorder.WaitFor(7));
    const auto seen = recorder.Seen();
    for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_EQ("", seen[i]);
}

TEST_F(ListenerTest, SilentPeersAreClosedOnceTheWaitRunsOutAndTheBridgeServesOn) {
    ListenerOptions options;
    options.requestWaitMs = 300;
    Recorder recorder;
    Start(recorder.Handler(), options);
    std::vector<net::Socket> silent;
    for (int i = 0; i < 3; ++i) silent.push_back(Connect(port));
    for (net::Socket s : silent) {
        EXPECT_EQ("", BodyWhenClosed(s));  // closed by the bridge, no reply
        net::CloseSocket(s);
    }
    ASSERT_TRUE(recorder.WaitFor(3));
    EXPECT_EQ(std::vector<std::string>(3, ""), recorder.Seen());
    const std::string reply = Exchange(port, "again");
    EXPECT_EQ("ok:5", reply.substr(reply.find("\r\n\r\n") + 4));
}

TEST_F(ListenerTest, BeyondThePendingBoundTheOldestSilentPeerIsHandedOn) {
    ListenerOptions options;
    options.requestWaitMs = 60000;
    options.maxPending = 2;
    Recorder recorder;
    Start(recorder.Handler(), options);
    const net::Socket first = Connect(port);
    ASSERT_TRUE(host.WaitForLines(2));
    const net::Socket second = Connect(port);
    ASSERT_TRUE(host.WaitForLines(4));
    const net::Socket third = Connect(port);
    EXPECT_EQ("", BodyWhenClosed(first));
    ASSERT_TRUE(recorder.WaitFor(1));
    EXPECT_TRUE(StillOpen(second));
    EXPECT_TRUE(StillOpen(third));
    // The two left are still served.
    SendText(third, "three");
    EXPECT_EQ("ok:5", BodyWhenClosed(third));
    SendText(second, "two");
    EXPECT_EQ("ok:3", BodyWhenClosed(second));
    EXPECT_EQ((std::vector<std::string>{"", "three", "two"}), recorder.Seen());
    for (net::Socket s : {first, second, third}) net::CloseSocket(s);
}

TEST_F(ListenerTest, WholeHeadIsGatheredAcrossSeveralSendsWhileOthersAreServed) {
    ListenerOptions options;
    options.readWholeHead = true;
    options.requestWaitMs = 60000;
    Recorder recorder;
    Start(recorder.Handler(), options);
    const net::Socket slow = Connect(port);
    SendText(slow, "GET /?data=a HTTP/1.1\r\nHost: x\r");
    ASSERT_TRUE(host.WaitForLines(2));
    // A complete head on another connection does not wait for the slow one.
    const std::string quick = "GET / HTTP/1.1\r\n\r\n";
    const std::string reply = Exchange(port, quick);
    EXPECT_EQ("ok:" + std::to_string(quick.size()), reply.substr(reply.find("\r\n\r\n") + 4));
    EXPECT_TRUE(StillOpen(slow));
    SendText(slow, "\n");
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(StillOpen(slow));  // one line break is not the end of the head
    SendText(slow, "\r");
    std::this_thread::sleep_for(50ms);
    SendText(slow, "\nbody after the head");
    BodyWhenClosed(slow);
    net::CloseSocket(slow);
    const auto seen = recorder.Seen();
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(quick, seen[0]);
    // Everything read is handed on, including what came with the last piece.
    EXPECT_EQ("GET /?data=a HTTP/1.1\r\nHost: x\r\n\r\nbody after the head", seen[1]);
}

TEST_F(ListenerTest, WholeHeadStopsAtTheMaximumAndAtTheWait) {
    ListenerOptions options;
    options.readWholeHead = true;
    options.requestWaitMs = 500;
    Recorder recorder;
    Start(recorder.Handler(), options);
    // A head with no end, longer than the maximum: handed on at the maximum.
    const net::Socket longHead = Connect(port);
    SendText(longHead, std::string(kMaxRequestHead + 3000, 'h'));
    EXPECT_EQ("ok:" + std::to_string(kMaxRequestHead), BodyWhenClosed(longHead));
    net::CloseSocket(longHead);
    // A head that never ends: handed on at the wait with what came.
    const net::Socket stalled = Connect(port);
    SendText(stalled, "GET /?data=");
    EXPECT_EQ("ok:11", BodyWhenClosed(stalled));
    net::CloseSocket(stalled);
    // A peer that closes mid-head: what it sent.
    const net::Socket closing = Connect(port);
    SendText(closing, "GET");
    shutdown(closing, net::kShutSend);
    EXPECT_EQ("ok:3", BodyWhenClosed(closing));
    net::CloseSocket(closing);
    const auto seen = recorder.Seen();
    ASSERT_EQ(3u, seen.size());
    EXPECT_EQ(std::string(kMaxRequestHead, 'h'), seen[0]);
    EXPECT_EQ("GET /?data=", seen[1]);
    EXPECT_EQ("GET", seen[2]);
}

// Whether the listener waits in accept alone (idle) or watches a silent
// peer too when the user exits, it ends by itself: nobody closes its socket.
// Both ends of one loopback connection.
struct Connection {
    net::Socket peer = net::kInvalidSocket;
    net::Socket server = net::kInvalidSocket;
    ~Connection() {
        if (peer != net::kInvalidSocket) net::CloseSocket(peer);
        if (server != net::kInvalidSocket) net::CloseSocket(server);
    }
};

void Open(Connection& c) {
    net::UniqueSocket listener(socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = inet_addr("127.0.0.1");
    ASSERT_EQ(0, bind(listener.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr));
    ASSERT_EQ(0, listen(listener.Get(), 1));
    c.peer = Connect(BoundPort(listener.Get()));
    ASSERT_NE(net::kInvalidSocket, c.peer);
    c.server = accept(listener.Get(), nullptr, nullptr);
    ASSERT_NE(net::kInvalidSocket, c.server);
}

// What the peer sent has arrived at the server's end (FIONREAD sees it).
bool Arrived(net::Socket s, int bytes) {
    for (int i = 0; i < 200; ++i) {
        if (net::BytesReadable(s) >= bytes) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST(RestOfRequest, AHeadReadToItsEndNeedsNoDrainAnUnfinishedOneDoes) {
    const std::string head = "GET /?data=xQEXDATAEND HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    {
        // All of it was read with the request: the connection may close now.
        Connection c;
        Open(c);
        EXPECT_TRUE(RestOfRequestRead(c.server, head));
    }
    {
        // Only the first 500 bytes of a longer head were read; the rest,
        // already there, is read now and ends the head.
        Connection c;
        Open(c);
        SendText(c.peer, "h: " + std::string(300, 'x') + "\r\n\r\n");
        ASSERT_TRUE(Arrived(c.server, 307));
        EXPECT_TRUE(RestOfRequestRead(c.server, "GET / HTTP/1.1\r\n" + std::string(483, 'h')));
    }
    {
        // The end straddles the two: "\r\n\r" read, "\n" still waiting.
        Connection c;
        Open(c);
        SendText(c.peer, "\n");
        ASSERT_TRUE(Arrived(c.server, 1));
        EXPECT_TRUE(RestOfRequestRead(c.server, head.substr(0, head.size() - 1)));
    }
    {
        // The head has not ended and nothing more is there yet: drain.
        Connection c;
        Open(c);
        EXPECT_FALSE(RestOfRequestRead(c.server, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n"));
    }
}

TEST(ListenerStop, ServeEndsOnItsOwnOnceTheHostStopsRunning) {
    for (const bool withSilentPeer : {false, true}) {
        SCOPED_TRACE(withSilentPeer ? "a silent peer open" : "idle");
        FakeListenerHost host;
        ListenerOptions options;
        options.port = 0;
        Listener listener(host, [](const std::string&, IReplyChannel&) {}, options);
        const net::Socket s = listener.CreateListenSocket();
        ASSERT_NE(net::kInvalidSocket, s);
        std::atomic<bool> ended{false};
        std::thread t([&] {
            EXPECT_TRUE(listener.Serve(s));
            ended = true;
        });
        net::Socket silent = net::kInvalidSocket;
        if (withSilentPeer) {
            sockaddr_in addr;
            net::SockLen len = sizeof addr;
            getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
            silent = Connect(ntohs(addr.sin_port));
            ASSERT_TRUE(host.WaitForLines(2));
        } else {
            std::this_thread::sleep_for(50ms);  // let it settle in accept
        }
        host.running = false;
        for (int i = 0; i < 2000 && !ended; ++i) std::this_thread::sleep_for(10ms);
        EXPECT_TRUE(ended);
        if (!ended) Listener::Close(s);
        t.join();
        if (withSilentPeer) {
            EXPECT_EQ("", BodyWhenClosed(silent));  // closed by the listener on its way out
            net::CloseSocket(silent);
            EXPECT_EQ(2u, host.Lines().size());
        } else {
            EXPECT_TRUE(host.Lines().empty());  // the wake-up is no connection of a browser
        }
    }
}

TEST(ListenerSetup, PortInUseShowsTheBindCodeAndTheStatusLine) {
    FakeListenerHost host;
    ListenerOptions options;
    options.port = 0;
    Listener first(host, [](const std::string&, IReplyChannel&) {}, options);
    const net::Socket s = first.CreateListenSocket();
    ASSERT_NE(net::kInvalidSocket, s);
    options.port = BoundPort(s);
    Listener second(host, [](const std::string&, IReplyChannel&) {}, options);
    EXPECT_EQ(net::kInvalidSocket, second.CreateListenSocket());
    ASSERT_EQ(1u, host.Errors().size());
    EXPECT_EQ("2:" + std::to_string(kAddrInUse), host.Errors()[0]);
    EXPECT_FALSE(second.Serve(net::kInvalidSocket));
    EXPECT_EQ(std::vector<std::string>{text::kNetInitFailed2}, host.Lines());
    Listener::Close(s);
}

TEST(SendAll, SendsNothingForZeroOrNegativeLengths) {
    int len = 0;
    EXPECT_EQ(0, SendAll(net::kInvalidSocket, "x", len));
    EXPECT_EQ(0, len);
    len = -3;
    EXPECT_EQ(0, SendAll(net::kInvalidSocket, "x", len));
    EXPECT_EQ(0, len);
    len = 1;
    EXPECT_EQ(-1, SendAll(net::kInvalidSocket, "x", len));
    EXPECT_EQ(0, len);
}

}  // namespace
}  // namespace qex::bridge
