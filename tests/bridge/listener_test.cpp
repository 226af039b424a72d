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

// A browser stand-in: connects from `from`, sends `request`, reads until the
// server closes.
std::string Exchange(unsigned short port, const std::string& request, const char* from = "127.0.0.1") {
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
        return "<connect failed>";
    }
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
    const std::string reply = Exchange(port, std::string(4000, 'a'));
    EXPECT_LE(seenSize, 500u);
    EXPECT_GT(seenSize, 0u);
    EXPECT_EQ("ok", reply.substr(reply.size() - 2));
}

TEST_F(ListenerTest, SilentPeerCannotHoldTheBridge) {
    ListenerOptions options;
    options.requestWaitMs = 300;
    std::vector<std::string> seen;
    std::mutex m;
    Start(
        [&](const std::string& request, IReplyChannel& channel) {
            std::lock_guard<std::mutex> lock(m);
            seen.push_back(request);
            if (!request.empty()) channel.SendReply("ok");
        },
        options);
    // A speculative connection that never sends.
    net::Socket idle = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = inet_addr("127.0.0.1");
    ASSERT_EQ(0, connect(idle, reinterpret_cast<sockaddr*>(&addr), sizeof addr));
    const std::string reply = Exchange(port, "hello");
    EXPECT_EQ("ok", reply.substr(reply.size() - 2));
    net::CloseSocket(idle);
    std::lock_guard<std::mutex> lock(m);
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ("", seen[0]);
    EXPECT_EQ("hello", seen[1]);
}

TEST(ListenerStop, ServeEndsOnItsOwnOnceTheHostStopsRunning) {
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
    host.running = false;  // nobody closes the socket: the listener must notice
    for (int i = 0; i < 2000 && !ended; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(ended);
    if (!ended) Listener::Close(s);
    t.join();
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
