// The local HTTP listener of the bridge: one socket on 127.0.0.1:10102,
// one connection at a time, one receive of at most 500 bytes per request,
// and minimal HTTP/1.0 replies. The request itself is handed on.
#pragma once

#include <cstddef>
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

struct ListenerOptions {
    unsigned short port = 10102;
    // A peer that connects and sends nothing (browsers open speculative
    // connections) may hold the bridge this long before it is dropped.
    int requestWaitMs = 5000;
    // After replying, what the peer still sends is read for this long so the
    // close does not reset the connection before the reply is read.
    int drainMs = 1000;
    // How often a listener with no connection to accept looks at IsRunning.
    int exitPollMs = 250;
    // false: a connection's request is what one receive of at most 500 bytes
    // returns. true: bytes are read until they hold the end of the head (an
    // empty line), kMaxRequestHead bytes were read, the peer closed or
    // requestWaitMs ran out; all of them are the request.
    bool readWholeHead = false;
};

// The most a whole request head may take when ListenerOptions::readWholeHead
// is set; what goes beyond is not read.
inline constexpr std::size_t kMaxRequestHead = 8192;

// Handles one request read from a connection; replies through the channel.
using RequestHandler = std::function<void(const std::string& request, IReplyChannel& channel)>;

class Listener {
public:
    Listener(IListenerHost& host, RequestHandler handler, ListenerOptions options = {});

    // The listening socket, or kInvalidSocket after showing the failure box.
    net::Socket CreateListenSocket();

    // Accepts and serves connections until an accept fails while the host
    // no longer runs. Returns false when the socket could not be set up.
    bool Serve(net::Socket listener);

    // Serves one accepted connection and closes it.
    void ServeConnection(net::Socket connection);

    // Closes the listener so a blocked accept returns (used at exit and by
    // tests).
    static void Close(net::Socket listener);

private:
    IListenerHost& host_;
    RequestHandler handler_;
    ListenerOptions options_;
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

// Shuts down sending, reads what the peer still sends for at most
// `drainMs`, then closes: the reply arrives intact and nothing piles up.
void CloseGracefully(net::Socket s, int drainMs);

}  // namespace qex::bridge
