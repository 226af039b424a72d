#include "bridge/listener.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cstdio>
#include <cstring>

#include "bridge/bridge_texts.h"
#include "core/step_trace.h"

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
    void SendReply(const std::string& body) override {
        QEX_STEP("reply composed");
        bridge::SendReply(socket_, body, status_);
        QEX_STEP("reply sent");
    }

private:
    net::Socket socket_;
    IStatusSink& status_;
};

std::chrono::milliseconds Until(std::chrono::steady_clock::time_point t,
                                std::chrono::steady_clock::time_point now) {
    if (t <= now) return std::chrono::milliseconds(0);
    // Rounded up, so that a wait does not end just before the deadline.
    return std::chrono::duration_cast<std::chrono::milliseconds>(t - now) + std::chrono::milliseconds(1);
}

// While the listener waits in accept, the thread cannot look at IsRunning
// itself: this watch does, and once the host stops running it connects to
// the listener so that the accept returns.
class ExitWatch {
public:
    ExitWatch(IListenerHost& host, net::Socket listener, int pollMs) {
        sockaddr_in addr;
        std::memset(&addr, 0, sizeof addr);
        net::SockLen len = sizeof addr;
        getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
        thread_ = std::thread([this, &host, addr, pollMs] {
            std::unique_lock<std::mutex> lock(mutex_);
            while (!stop_) {
                changed_.wait_for(lock, std::chrono::milliseconds(pollMs));
                if (stop_ || host.IsRunning()) continue;
                const net::UniqueSocket s(socket(AF_INET, SOCK_STREAM, 0));
                if (s) connect(s.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
                return;
            }
        });
    }
    ~ExitWatch() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    ExitWatch(const ExitWatch&) = delete;
    ExitWatch& operator=(const ExitWatch&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false;
    std::thread thread_;
};

std::string FormatError(const char* format, int code) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, code);
    return buf;
}

}  // namespace

bool RestOfRequestRead(net::Socket s, const std::string& request) {
    // The last four bytes seen: the end of the head may straddle what the
    // request held and what is read here.
    std::string tail = request.size() > 4 ? request.substr(request.size() - 4) : request;
    char buf[512];
    for (;;) {
        const int waiting = net::BytesReadable(s);
        if (waiting < 0) return false;
        if (waiting == 0) break;
        const int n = static_cast<int>(recv(s, buf, sizeof buf, 0));
        if (n == 0) return true;  // the peer closed
        if (n < 0) return false;
        tail.append(buf, static_cast<std::size_t>(n));
        tail.erase(0, tail.size() > 4 ? tail.size() - 4 : 0);
    }
    return tail.size() >= 4 && tail.compare(tail.size() - 4, 4, "\r\n\r\n") == 0;
}

Listener::Listener(IListenerHost& host, RequestHandler handler, ListenerOptions options)
    : host_(host), handler_(std::move(handler)), options_(options) {}

net::Socket Listener::CreateListenSocket() {
    net::UniqueSocket s(socket(AF_INET, SOCK_STREAM, 0));
    if (!s) {
        host_.ShowSetupError(FormatError("1;%d", net::LastError()));
        return net::kInvalidSocket;
    }
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons(options_.port);
    addr.sin_addr.s_addr = inet_addr(text::kListenAddress);
    if (bind(s.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        const int code = net::LastError();
        s.Reset();
        host_.ShowSetupError(FormatError("2:%d", code));
        return net::kInvalidSocket;
    }
    if (listen(s.Get(), kBacklog) != 0) {
        const int code = net::LastError();
        s.Reset();
        host_.ShowSetupError(FormatError("3:%d", code));
        return net::kInvalidSocket;
    }
    return s.Detach();
}

bool Listener::Serve(net::Socket listener) {
    if (listener == net::kInvalidSocket) {
        host_.AppendStatus(text::kNetInitFailed2);
        return false;
    }
    ExitWatch watch(host_, listener, options_.exitPollMs);
    for (;;) {
        if (pending_.empty() && ready_.empty() && draining_.empty()) {
            // Nothing to watch but the listener: wait in accept itself.
            // (Under Wine, a connection accepted after a select on the
            // listener sends its reply several times slower.)
            sockaddr_in peer;
            std::memset(&peer, 0, sizeof peer);
            net::SockLen len = sizeof peer;
            net::UniqueSocket c(accept(listener, reinterpret_cast<sockaddr*>(&peer), &len));
            if (!host_.IsRunning()) break;  // `c` is the exit watch's call
            if (!c) continue;
            Accept(std::move(c), peer);
            if (!ready_.empty()) {
                Pending p = std::move(ready_.front());
                ready_.pop_front();
                ServeRequest(std::move(p));
            }
            continue;
        }
        // Wait for the listener, the pending and the draining connections at
        // once; no longer than the nearest deadline, and not at all while a
        // request is ready. Waiting in slices lets the thread see the exit
        // and end by itself.
        auto now = Clock::now();
        auto wait = std::chrono::milliseconds(ready_.empty() ? options_.exitPollMs : 0);
        for (const Pending& p : pending_) wait = std::min(wait, Until(p.deadline, now));
        for (const Draining& d : draining_) wait = std::min(wait, Until(d.deadline, now));

        fd_set readable;
        FD_ZERO(&readable);
        net::Socket highest = listener;
        FD_SET(listener, &readable);
        for (const Pending& p : pending_) {
            FD_SET(p.socket.Get(), &readable);
            highest = std::max(highest, p.socket.Get());
        }
        for (const Draining& d : draining_) {
            FD_SET(d.socket.Get(), &readable);
            highest = std::max(highest, d.socket.Get());
        }
        timeval tv;
        tv.tv_sec = static_cast<long>(wait.count() / 1000);
        tv.tv_usec = static_cast<long>((wait.count() % 1000) * 1000);
        const int n = select(static_cast<int>(highest) + 1, &readable, nullptr, nullptr, &tv);
        if (n < 0) {
#ifndef _WIN32
            if (errno == EINTR) continue;
#endif
            // The listener was closed under us (exit), or a connection in the
            // set is broken: drop them all rather than spin on it.
            if (!host_.IsRunning()) break;
            CloseAll();
            continue;
        }
        if (n == 0 && ready_.empty() && !host_.IsRunning()) break;

        // Draining connections: the peer's close (or anything it sends, which
        // is thrown away) and the deadline.
        now = Clock::now();
        for (auto it = draining_.begin(); it != draining_.end();) {
            bool done = now >= it->deadline;
            if (!done && FD_ISSET(it->socket.Get(), &readable)) {
                char buf[512];
                done = recv(it->socket.Get(), buf, sizeof buf, 0) <= 0;
            }
            if (done) {
                it = draining_.erase(it);
            } else {
                ++it;
            }
        }

        // Pending connections, in the order they were accepted: what they
        // sent, and those whose time is up.
        for (auto it = pending_.begin(); it != pending_.end();) {
            ReadResult r = ReadResult::kMore;
            if (FD_ISSET(it->socket.Get(), &readable)) r = Read(*it);
            if (r == ReadResult::kMore && now >= it->deadline) r = ReadResult::kComplete;
            if (r == ReadResult::kMore) {
                ++it;
                continue;
            }
            if (r == ReadResult::kComplete) ready_.push_back(std::move(*it));
            it = pending_.erase(it);
        }

        // New connections get their status lines before anything else
        // happens for them.
        if (FD_ISSET(listener, &readable)) {
            sockaddr_in peer;
            std::memset(&peer, 0, sizeof peer);
            net::SockLen len = sizeof peer;
            net::UniqueSocket c(accept(listener, reinterpret_cast<sockaddr*>(&peer), &len));
            if (!host_.IsRunning()) break;
            if (c) Accept(std::move(c), peer);
        }

        // One request at a time.
        if (!ready_.empty()) {
            Pending p = std::move(ready_.front());
            ready_.pop_front();
            ServeRequest(std::move(p));
        }
    }
    Close(listener);
    CloseAll();
    return true;
}

void Listener::Accept(net::UniqueSocket c, const sockaddr_in& peer) {
    QEX_STEP("accepted");
    host_.AppendStatus(text::kConnectionReceived);
    QEX_STEP("status line: connection");
    char address[16] = {0};
    const char* dotted = inet_ntoa(peer.sin_addr);
    if (dotted) std::strncpy(address, dotted, sizeof address - 1);
    host_.AppendStatus(address);
    QEX_STEP("status line: address");
    if (std::strncmp(address, text::kLocalPeerPrefix, sizeof text::kLocalPeerPrefix - 1) != 0) return;
#ifndef _WIN32
    // A descriptor beyond the set's range cannot be watched (Windows' sets
    // hold sockets by count, which the bounds below keep in range).
    if (c.Get() >= FD_SETSIZE) return;
#endif
    Pending p{std::move(c), std::string(), Clock::now() + std::chrono::milliseconds(options_.requestWaitMs)};
    // A browser sends its request right after connecting, so it is mostly
    // in by now: read it without waiting on the connection.
    if (net::BytesReadable(p.socket.Get()) > 0) {
        switch (Read(p)) {
        case ReadResult::kComplete:
            QEX_STEP("request read at once");
            ready_.push_back(std::move(p));
            return;
        case ReadResult::kFailed:
            return;
        case ReadResult::kMore:
            break;
        }
    }
    const int limit = std::max(1, std::min(options_.maxPending, kMaxPendingLimit));
    if (static_cast<int>(pending_.size()) >= limit) {
        // The oldest waits longest for its request: it is handed on with
        // what it sent so far.
        ready_.push_back(std::move(pending_.front()));
        pending_.pop_front();
    }
    pending_.push_back(std::move(p));
}

Listener::ReadResult Listener::Read(Pending& p) {
    if (!options_.readWholeHead) {
        char buf[kMaxRequest];
        const int n = static_cast<int>(recv(p.socket.Get(), buf, kMaxRequest, 0));
        if (n < 0) {
            host_.AppendStatus(text::kTransferError);
            p.socket.Reset();
            return ReadResult::kFailed;
        }
        p.bytes.assign(buf, static_cast<std::size_t>(n));
        return ReadResult::kComplete;
    }
    char buf[2048];
    const std::size_t room = std::min(sizeof buf, kMaxRequestHead - p.bytes.size());
    const int n = static_cast<int>(recv(p.socket.Get(), buf, static_cast<int>(room), 0));
    if (n < 0) {
        host_.AppendStatus(text::kTransferError);
        p.socket.Reset();
        return ReadResult::kFailed;
    }
    if (n == 0) return ReadResult::kComplete;  // the peer closed
    // The end of the head may straddle two receives.
    const std::size_t from = p.bytes.size() < 3 ? 0 : p.bytes.size() - 3;
    p.bytes.append(buf, static_cast<std::size_t>(n));
    if (p.bytes.find("\r\n\r\n", from) != std::string::npos) return ReadResult::kComplete;
    return p.bytes.size() >= kMaxRequestHead ? ReadResult::kComplete : ReadResult::kMore;
}

void Listener::ServeRequest(Pending p) {
    QEX_STEP("request received");
    ConnectionChannel channel(p.socket.Get(), host_);
    handler_(p.bytes, channel);
    shutdown(p.socket.Get(), net::kShutSend);
    // A peer with nothing more to send is closed now (with `p`); one that
    // may still send is drained first, so the close does not reset the reply.
    if (!RestOfRequestRead(p.socket.Get(), p.bytes)) StartDraining(std::move(p.socket));
    QEX_STEP("shut for sending");
    QEX_STEP_FLUSH();
}

void Listener::StartDraining(net::UniqueSocket s) {
    if (static_cast<int>(draining_.size()) >= kMaxPendingLimit) draining_.pop_front();
    draining_.push_back(Draining{std::move(s), Clock::now() + std::chrono::milliseconds(options_.drainMs)});
}

void Listener::CloseAll() {
    pending_.clear();
    ready_.clear();
    draining_.clear();
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

void CloseGracefully(net::Socket socket, int drainMs) {
    const net::UniqueSocket owned(socket);
    const net::Socket s = owned.Get();
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
}

}  // namespace qex::bridge
