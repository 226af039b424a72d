#include "bridge/listener.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "bridge/bridge_texts.h"

namespace qex::bridge {
namespace {

constexpr int kBacklog = 5;
constexpr int kMaxRequest = 500;

#ifdef _WIN32
constexpr int kSendFlags = 0;
#else
constexpr int kSendFlags = MSG_NOSIGNAL;  // a vanished peer is an error, not a signal
#endif

// Replies on the connection a request came on.
class ConnectionChannel : public IReplyChannel {
public:
    ConnectionChannel(net::Socket s, IStatusSink& status) : socket_(s), status_(status) {}
    void SendReply(const std::string& body) override { bridge::SendReply(socket_, body, status_); }

private:
    net::Socket socket_;
    IStatusSink& status_;
};

// Reads on until the head's empty line, kMaxRequestHead bytes, the peer's
// close or the time bound.
void ReadRestOfHead(net::Socket c, std::string& request, int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    char buf[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.find("\n\n") == std::string::npos &&
           request.size() < kMaxRequestHead) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0 || !net::WaitReadable(c, static_cast<int>(left))) return;
        const int room = static_cast<int>(std::min(sizeof buf, kMaxRequestHead - request.size()));
        const int n = static_cast<int>(recv(c, buf, room, 0));
        if (n <= 0) return;
        request.append(buf, static_cast<std::size_t>(n));
    }
}

std::string FormatError(const char* format, int code) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, code);
    return buf;
}

}  // namespace

Listener::Listener(IListenerHost& host, RequestHandler handler, ListenerOptions options)
    : host_(host), handler_(std::move(handler)), options_(options) {}

net::Socket Listener::CreateListenSocket() {
    net::Socket s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == net::kInvalidSocket) {
        host_.ShowSetupError(FormatError("1;%d", net::LastError()));
        return net::kInvalidSocket;
    }
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons(options_.port);
    addr.sin_addr.s_addr = inet_addr(text::kListenAddress);
    if (bind(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        const int code = net::LastError();
        net::CloseSocket(s);
        host_.ShowSetupError(FormatError("2:%d", code));
        return net::kInvalidSocket;
    }
    if (listen(s, kBacklog) != 0) {
        const int code = net::LastError();
        net::CloseSocket(s);
        host_.ShowSetupError(FormatError("3:%d", code));
        return net::kInvalidSocket;
    }
    return s;
}

bool Listener::Serve(net::Socket listener) {
    if (listener == net::kInvalidSocket) {
        host_.AppendStatus(text::kNetInitFailed2);
        return false;
    }
    for (;;) {
        // Waiting in slices lets the thread see the exit and end by itself
        // instead of staying blocked in accept until the process ends.
        while (!net::WaitReadable(listener, options_.exitPollMs)) {
            if (!host_.IsRunning()) {
                Close(listener);
                return true;
            }
        }
        sockaddr_in peer;
        std::memset(&peer, 0, sizeof peer);
        net::SockLen len = sizeof peer;
        const net::Socket c = accept(listener, reinterpret_cast<sockaddr*>(&peer), &len);
        if (c == net::kInvalidSocket) {
            if (host_.IsRunning()) continue;
            Close(listener);
            return true;
        }
        host_.AppendStatus(text::kConnectionReceived);
        char address[16] = {0};
        const char* dotted = inet_ntoa(peer.sin_addr);
        if (dotted) std::strncpy(address, dotted, sizeof address - 1);
        host_.AppendStatus(address);
        if (std::strncmp(address, text::kLocalPeerPrefix, sizeof text::kLocalPeerPrefix - 1) != 0) {
            net::CloseSocket(c);
            continue;
        }
        ServeConnection(c);
    }
}

void Listener::ServeConnection(net::Socket c) {
    std::string request;
    // Nothing within the wait counts as an empty request: the bridge must not
    // be held by a peer that never speaks.
    if (net::WaitReadable(c, options_.requestWaitMs)) {
        char buf[kMaxRequest];
        const int n = static_cast<int>(recv(c, buf, kMaxRequest, 0));
        if (n < 0) {
            host_.AppendStatus(text::kTransferError);
            net::CloseSocket(c);
            return;
        }
        request.assign(buf, static_cast<std::size_t>(n));
        if (options_.readWholeHead) ReadRestOfHead(c, request, options_.requestWaitMs);
    }
    ConnectionChannel channel(c, host_);
    handler_(request, channel);
    CloseGracefully(c, options_.drainMs);
}

void Listener::Close(net::Socket listener) {
#ifdef _WIN32
    net::CloseSocket(listener);
#else
    // close() alone does not wake a thread blocked in accept() on Linux.
    shutdown(listener, SHUT_RDWR);
    net::CloseSocket(listener);
#endif
}

bool RunBridge(IListenerHost& host, RequestHandler handler, ListenerOptions options) {
#ifdef _WIN32
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        host.AppendStatus(text::kNetInitFailed1);
        return false;
    }
#endif
    Listener listener(host, std::move(handler), options);
    return listener.Serve(listener.CreateListenSocket());
}

int SendAll(net::Socket s, const char* bytes, int& length) {
    int sent = 0;
    int result = 0;
    while (sent < length) {
        const int n = static_cast<int>(send(s, bytes + sent, length - sent, kSendFlags));
        if (n < 0) {
            result = -1;
            break;
        }
        sent += n;
    }
    length = sent;
    return result;
}

void SendReply(net::Socket s, const std::string& body, IStatusSink& status) {
    // Each header line fits in 30 bytes, the longest being the length line.
    char line[30];
    int len = 0;
    do {
        len = std::snprintf(line, sizeof line, "HTTP/1.0 200 OK\r\n");
        if (SendAll(s, line, len) != 0) {
            status.AppendStatus(text::kReplyFailed1);
            break;
        }
        len = std::snprintf(line, sizeof line, "Content-type: %s\r\n", "text/html");
        if (SendAll(s, line, len) != 0) {
            status.AppendStatus(text::kReplyFailed2);
            break;
        }
        len = std::snprintf(line, sizeof line, "Content-Length: %d\r\n", static_cast<int>(body.size()));
        if (SendAll(s, line, len) != 0) {
            status.AppendStatus(text::kReplyFailed3);
        }
    } while (false);
    send(s, "\r\n", 2, kSendFlags);
    int bodyLen = static_cast<int>(body.size());
    SendAll(s, body.data(), bodyLen);
}

void CloseGracefully(net::Socket s, int drainMs) {
    shutdown(s, net::kShutSend);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(drainMs);
    char buf[512];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0 || !net::WaitReadable(s, static_cast<int>(left))) break;
        if (recv(s, buf, sizeof buf, 0) <= 0) break;
    }
    net::CloseSocket(s);
}

}  // namespace qex::bridge
