// The few socket calls the listener makes, on Winsock and on BSD sockets, so
// the listener also runs (and is tested) natively.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "core/unique_resource.h"

namespace qex::net {

#ifdef _WIN32
using Socket = SOCKET;
inline constexpr Socket kInvalidSocket = INVALID_SOCKET;
inline constexpr int kShutSend = SD_SEND;
inline int CloseSocket(Socket s) { return closesocket(s); }
inline int LastError() { return WSAGetLastError(); }
using SockLen = int;
#else
using Socket = int;
inline constexpr Socket kInvalidSocket = -1;
inline constexpr int kShutSend = SHUT_WR;
inline int CloseSocket(Socket s) { return close(s); }
inline int LastError() { return errno; }
using SockLen = socklen_t;
#endif

// A socket given back exactly once, on every path (the traits of the
// shared owner template, for Winsock and for BSD sockets alike).
struct SocketTraits {
    using Handle = Socket;
    static Handle Invalid() { return kInvalidSocket; }
    static void Close(Handle s) { CloseSocket(s); }
};
using UniqueSocket = UniqueResource<SocketTraits>;

// Waits until `s` has something to read (data, end of stream or an error),
// at most `ms` milliseconds. Returns false when the time ran out.
inline bool WaitReadable(Socket s, int ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv;
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    return select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &tv) > 0;
}

// The number of bytes that a receive would return at once, or -1 when that
// cannot be told. Asks without a wait, and leaves the socket as it is (under
// Wine, a select on a connection makes the sends that follow on it several
// times slower; this does not).
inline int BytesReadable(Socket s) {
#ifdef _WIN32
    u_long n = 0;
    if (ioctlsocket(s, FIONREAD, &n) != 0) return -1;
#else
    int n = 0;
    if (ioctl(s, FIONREAD, &n) != 0) return -1;
#endif
    return static_cast<int>(n);
}

}  // namespace qex::net
