// The client's own listener (bridge/listener.*) in a process of its own,
// answering every request with one fixed reply and writing its status lines
// to a hidden list box of the main thread, as the client does while it sits
// in the tray. Beside the shaped floor (winsock_responder.exe
// --shaped-hidden) it tells the listener's cost from the rest of the client.
// Usage: listener_responder.exe <port> [ready-file]
#include "bridge/listener.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

HWND g_list = nullptr;

class ListHost : public qex::bridge::IListenerHost {
public:
    void AppendStatus(const std::string& line) override {
        SendMessageA(g_list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(line.c_str()));
    }
    void ShowSetupError(const std::string& text) override { std::fprintf(stderr, "set-up: %s\n", text.c_str()); }
    bool IsRunning() override { return true; }
};

unsigned short g_port = 0;

DWORD WINAPI Bridge(void*) {
    ListHost host;
    qex::bridge::ListenerOptions options;
    options.port = g_port;
    qex::bridge::RunBridge(host, [](const std::string& request, qex::bridge::IReplyChannel& channel) {
        if (!request.empty()) channel.SendReply("sealInfoHandler({\"STATUS\":\"1\",\"ERR\":\"bench\"});");
    }, options);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: listener_responder <port> [ready-file]\n");
        return 2;
    }
    g_port = static_cast<unsigned short>(std::atoi(argv[1]));
    g_list = CreateWindowExA(0, "LISTBOX", "listener responder", WS_OVERLAPPEDWINDOW | WS_VSCROLL, 0, 0, 300, 200,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!g_list) return 1;
    CreateThread(nullptr, 0, Bridge, nullptr, 0, nullptr);
    if (argc > 2) {
        // Written a moment after the bridge thread started: the caller waits
        // on it and then on the first reply.
        Sleep(200);
        FILE* f = std::fopen(argv[2], "w");
        if (f) {
            std::fputs("ready\n", f);
            std::fclose(f);
        }
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
