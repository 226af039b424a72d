// The local HTTP listener of the bridge: one socket on 127.0.0.1:10102,
// one request served at a time, one receive of at most 500 bytes per
// request, and minimal HTTP/1.0 replies. The request itself is handed on.
//
// Connections are accepted as soon as they arrive and watched together, so
// that a peer that connects and stays silent (browsers open speculative
// connections) never stands in front of one that has sent its request:
// whichever connection has its request first is served first.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <string>

#include "bridge/sign_handler.h"
#include "bridge/socket_compat.h"
#include "core/ui.h"

namespace qex::bridge {

// What the listener needs of the main window.
class IListenerHost : public IStatusSink {
public:
    // Shows one of the set-up failure boxes ("1;%d", "2:%d", "3:%d").
    virtual void ShowSetupError(const std::string& text) = 0;
    // m_bRunning: false once the user has exited.
    virtual bool IsRunning() = 0;
};

// The most a whole request head may take when ListenerOptions::readWholeHead
// is set; what goes beyond is not read.
inline constexpr std::size_t kMaxRequestHead = 8192;

struct ListenerOptions {
    unsigned short port = 10102;
    // A connection whose request is not in after this long is handed on with
    // what it sent by then (nothing, for a peer that never speaks), so it
    // cannot be kept open for ever. Other connections are served meanwhile.
    int requestWaitMs = 5000;
    // After replying, what the peer still sends is read for this long so the
    // close does not reset the connection before the reply is read. Other
    // connections are served meanwhile.
    int drainMs = 1000;
    // How often an idle listener looks at IsRunning.
    int exitPollMs = 250;
    // false: a connection's request is what one receive of at most 500 bytes
    // returns once the connection is readable. true: bytes are read until
    // they hold the end of the head (an empty line), kMaxRequestHead bytes
    // were read, the peer closed or requestWaitMs ran out; all of them are
    // the request.
    bool readWholeHead = false;
    // Connections waiting for their request at once; when another arrives
    // the oldest is handed on with what it sent so far. At most
    // kMaxPendingLimit.
    int maxPending = 16;
};

// Upper bound of ListenerOptions::maxPending: with as many draining
// connections, and the listener, a socket set of 64 (Windows' FD_SETSIZE)
// still holds them all.
inline constexpr int kMaxPendingLimit = 24;

// Handles one request read from a connection; replies through the channel.
using RequestHandler = std::function<void(const std::string& request, IReplyChannel& channel)>;

class Listener {
public:
    Listener(IListenerHost& host, RequestHandler handler, ListenerOptions options = {});

    // The listening socket, or kInvalidSocket after showing the failure box.
    net::Socket CreateListenSocket();

    // Accepts and serves connections until the host no longer runs (looked
    // at every exitPollMs; a listener waiting in accept is woken by a
    // connection of its own then). Returns false when the socket could not
    // be set up.
    bool Serve(net::Socket listener);

    // Closes the listener so a blocked accept returns (used at exit and by
    // tests).
    static void Close(net::Socket listener);

private:
    using Clock = std::chrono::steady_clock;
    // An accepted connection whose request is not complete yet.
    struct Pending {
        net::UniqueSocket socket;
        std::string bytes;
        Clock::time_point deadline;
    };
    // A connection that is answered and shut for sending, whose peer may
    // still send: what it sends is read until it closes or the deadline
    // passes.
    struct Draining {
        net::UniqueSocket socket;
        Clock::time_point deadline;
    };

    void Accept(net::UniqueSocket connection, const sockaddr_in& peer);
    enum class ReadResult { kMore, kComplete, kFailed };
    // Reads what a readable pending connection sent.
    ReadResult Read(Pending& p);
    void ServeRequest(Pending p);
    void StartDraining(net::UniqueSocket s);
    void CloseAll();

    IListenerHost& host_;
    RequestHandler handler_;
    ListenerOptions options_;
    std::deque<Pending> pending_;   // in the order they were accepted
    std::deque<Pending> ready_;     // requests complete, in the order they became so
    std::deque<Draining> draining_;
};

// The bridge thread's work: start Windows Sockets (1.1), set up the listener
// and serve until exit. Returns false when the bridge could not start (the
// status line says why); the caller then idles for the rest of the run.
bool RunBridge(IListenerHost& host, RequestHandler handler, ListenerOptions options = {});

// Sends all `length` bytes; `length` receives the number sent. 0, or -1
// after a send error. A length of 0 or less sends nothing.
int SendAll(net::Socket s, const char* bytes, int& length);

// One complete HTTP reply: status line, content type, length, empty line,
// body. Header lines that cannot be sent are reported to `status`.
void SendReply(net::Socket s, const std::string& body, IStatusSink& status);

// After a reply: reads, without waiting, what the peer sent after
// `request`. True when it has nothing more to send that could arrive after a
// close (and reset the connection before the reply is read): it closed, or
// the head has ended and nothing else is waiting. Then the connection may be
// closed at once; otherwise it is drained first.
bool RestOfRequestRead(net::Socket s, const std::string& request);

// Shuts down sending, reads what the peer still sends for at most
// `drainMs`, then closes: the reply arrives intact and nothing piles up.
void CloseGracefully(net::Socket s, int drainMs);

}  // namespace qex::bridge
