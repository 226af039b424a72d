// The baselines for the bridge figures, under the same Wine.
//
// Bare: the least a Winsock server can do per request. It answers every
// connection with one fixed HTTP/1.0 JSONP reply, shuts down sending,
// drains what the peer still sends and closes, without any parsing or
// window.
//
// Shaped (--shaped): the same, plus exactly the steps the bridge must take
// per request whatever else it does: the two status lines of an accepted
// connection as synchronous LB_INSERTSTRING sends to a visible list box
// that the main (UI) thread owns, the reply as four header sends and one
// body send. Serving runs on a second thread, as the bridge does.
//
// With --shaped-hidden the list box is hidden (the client's list is hidden
// while its window sits in the tray; a send to a hidden list costs less
// under Wine).
//
// Usage: winsock_responder.exe [--shaped|--shaped-hidden] <port> [ready-file]
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HWND g_list = nullptr;  // the shaped responder's status list

bool SendAll(SOCKET s, const char* data, int len);

void ServeShaped(SOCKET conn, const sockaddr_in& peer) {
    SendMessageA(g_list, LB_INSERTSTRING, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>("\xbd\xd3\xca\xd5\xc1\xac\xbd\xd3"));  // "接收连接" in GBK
    char address[16] = {0};
    const char* dotted = inet_ntoa(peer.sin_addr);
    if (dotted) std::strncpy(address, dotted, sizeof address - 1);
    SendMessageA(g_list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(address));
    char buf[500];
    recv(conn, buf, sizeof(buf), 0);
    static const char kBody[] = "sealInfoHandler({\"STATUS\":\"1\",\"ERR\":\"bench\"});";
    char line[30];
    int len = std::snprintf(line, sizeof line, "HTTP/1.0 200 OK\r\n");
    SendAll(conn, line, len);
    len = std::snprintf(line, sizeof line, "Content-type: %s\r\n", "text/html");
    SendAll(conn, line, len);
    len = std::snprintf(line, sizeof line, "Content-Length: %d\r\n", static_cast<int>(sizeof kBody - 1));
    SendAll(conn, line, len);
    send(conn, "\r\n", 2, 0);
    SendAll(conn, kBody, static_cast<int>(sizeof kBody - 1));
    shutdown(conn, SD_SEND);
    DWORD ms = 2000;
    setsockopt(conn, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof(ms));
    while (recv(conn, buf, sizeof(buf), 0) > 0) {
    }
    closesocket(conn);
}

DWORD WINAPI ShapedLoop(void* listener) {
    SOCKET ls = reinterpret_cast<SOCKET>(listener);
    for (;;) {
        sockaddr_in peer;
        std::memset(&peer, 0, sizeof peer);
        int len = sizeof peer;
        SOCKET conn = accept(ls, reinterpret_cast<sockaddr*>(&peer), &len);
        if (conn == INVALID_SOCKET) continue;
        ServeShaped(conn, peer);
    }
}

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
    const bool hidden = argc > 1 && std::strcmp(argv[1], "--shaped-hidden") == 0;
    const bool shaped = hidden || (argc > 1 && std::strcmp(argv[1], "--shaped") == 0);
    if (shaped) {
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: winsock_responder [--shaped|--shaped-hidden] <port> [ready-file]\n");
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
    if (bind(ls, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(ls, shaped ? 5 : SOMAXCONN) != 0) {  // shaped: the bridge's backlog
        std::fprintf(stderr, "bind/listen failed: %d\n", WSAGetLastError());
        return 1;
    }
    if (shaped) {
        // A list box of the main thread, as the client's status list.
        g_list = CreateWindowExA(0, "LISTBOX", "shaped responder",
                                 WS_OVERLAPPEDWINDOW | (hidden ? 0 : WS_VISIBLE) | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 0, 0, 300,
                                 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (!g_list) return 1;
        CreateThread(nullptr, 0, ShapedLoop, reinterpret_cast<void*>(ls), 0, nullptr);
    }
    if (argc > 2) {
        // Written only once the socket listens, so the caller can wait on it.
        FILE* f = std::fopen(argv[2], "w");
        if (f) {
            std::fputs("ready\n", f);
            std::fclose(f);
        }
    }
    if (shaped) {
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        return 0;
    }
    for (;;) {
        SOCKET conn = accept(ls, nullptr, nullptr);
        if (conn == INVALID_SOCKET) continue;
        Serve(conn);  // one at a time, as the bridge serves them
    }
}
