// The baseline for the bridge figures: the least a Winsock server under the
// same Wine can do per request. It answers every connection with one fixed
// HTTP/1.0 JSONP reply, shuts down sending, drains what the peer still
// sends and closes - the same shape of work the bridge does, without any
// parsing or dialog. Usage: winsock_responder.exe <port> [ready-file]
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kReply[] =
    "HTTP/1.0 200 OK\r\n"
    "Content-type: text/html\r\n"
    "Content-Length: 46\r\n"
    "\r\n"
    "sealInfoHandler({\"STATUS\":\"1\",\"ERR\":\"bench\"});";

bool SendAll(SOCKET s, const char* data, int len) {
    while (len > 0) {
        int n = send(s, data, len, 0);
        if (n <= 0) return false;
        data += n;
        len -= n;
    }
    return true;
}

void Serve(SOCKET conn) {
    char buf[500];
    recv(conn, buf, sizeof(buf), 0);
    SendAll(conn, kReply, static_cast<int>(sizeof(kReply) - 1));
    shutdown(conn, SD_SEND);
    DWORD ms = 2000;
    setsockopt(conn, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof(ms));
    while (recv(conn, buf, sizeof(buf), 0) > 0) {
    }
    closesocket(conn);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: winsock_responder <port> [ready-file]\n");
        return 2;
    }
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 1;
    SOCKET ls = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof(addr));
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(std::atoi(argv[1])));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(ls, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(ls, SOMAXCONN) != 0) {
        std::fprintf(stderr, "bind/listen failed: %d\n", WSAGetLastError());
        return 1;
    }
    if (argc > 2) {
        // Written only once the socket listens, so the caller can wait on it.
        FILE* f = std::fopen(argv[2], "w");
        if (f) {
            std::fputs("ready\n", f);
            std::fclose(f);
        }
    }
    for (;;) {
        SOCKET conn = accept(ls, nullptr, nullptr);
        if (conn == INVALID_SOCKET) continue;
        Serve(conn);  // one at a time, as the bridge serves them
    }
}
