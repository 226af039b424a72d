// Calls per second of sequential seal service wrapper calls against the
// simulator, beside raw HTTP POSTs of the same request bytes on plain
// sockets, in one run: what the SOAP stack costs on top of the wire.
//   service_bench [path/to/qex-sealservice] [calls]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "core/platform.h"
#include "service/endpoint.h"
#include "service/soap_calls.h"

namespace {

using Clock = std::chrono::steady_clock;

// The endpoint setting, answered from memory.
class FixedEndpoint : public qex::IFileSystem, public qex::IProfileReader {
public:
    explicit FixedEndpoint(std::string url) : url_(std::move(url)) {}
    std::string SystemDirectory() override { return "C:\\windows\\system32"; }
    long CountEntries(const std::string&) override { return -1; }
    std::string CurrentDirectory() override { return "C:\\"; }
    bool ChangeDirectory(const std::string&) override { return false; }
    std::string ReadString(const std::string&, const std::string&, const std::string&, const std::string&,
                           std::size_t size) override {
        return url_.substr(0, size - 1);
    }

private:
    std::string url_;
};

int Connect(int port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<unsigned short>(port));
    a.sin_addr.s_addr = inet_addr("127.0.0.1");
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(s);
        return -1;
    }
    return s;
}

// One raw request; the reply read to the end of the connection.
std::string RawPost(int port, const std::string& bytes) {
    const int s = Connect(port);
    if (s < 0) return std::string();
    send(s, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    std::string reply;
    char buf[4096];
    for (ssize_t n; (n = recv(s, buf, sizeof buf, 0)) > 0;) reply.append(buf, static_cast<std::size_t>(n));
    close(s);
    return reply;
}

std::string LastRequest(int port) {
    std::string reply = RawPost(port, "GET /admin/last-request HTTP/1.0\r\n\r\n");
    const std::size_t body = reply.find("\r\n\r\n");
    return body == std::string::npos ? std::string() : reply.substr(body + 4);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string exe = argc > 1 ? argv[1] : "build/native/bin/qex-sealservice";
    const int calls = argc > 2 ? std::atoi(argv[2]) : 1000;
    char dir[] = "/tmp/qex-service-bench-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    const std::string db = std::string(dir) + "/seals.db", portFile = std::string(dir) + "/port";
    const pid_t pid = fork();
    if (pid == 0) {
        execl(exe.c_str(), exe.c_str(), "--db", db.c_str(), "serve", "--port", "0", "--port-file", portFile.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int port = 0;
    for (int i = 0; i < 200 && port == 0; ++i) {
        if (FILE* f = std::fopen(portFile.c_str(), "r")) {
            if (std::fscanf(f, "%d", &port) != 1) port = 0;
            std::fclose(f);
        }
        if (port == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (port == 0) {
        std::fprintf(stderr, "service_bench: the simulator did not start (%s)\n", exe.c_str());
        return 1;
    }
    FixedEndpoint endpoint("http://127.0.0.1:" + std::to_string(port) + "/qexseal/ws/mycxf");
    qex::SetServiceEndpointSources(&endpoint, &endpoint);

    // The login query of an unknown key: one round trip, no storage written.
    const std::string arg = "3@@@@C1TX892eb+eD5e32GpnAOhpnnkzjHhjf9PS7jlYherQ=";
    qex::CallQueryUkNameByCerBase64(arg);
    const std::string request = LastRequest(port);  // the exact bytes the wrapper sent

    auto start = Clock::now();
    int ok = 0;
    for (int i = 0; i < calls; ++i) ok += !qex::CallQueryUkNameByCerBase64(arg).empty();
    const double wrapperS = std::chrono::duration<double>(Clock::now() - start).count();

    start = Clock::now();
    int rawOk = 0;
    for (int i = 0; i < calls; ++i) rawOk += !RawPost(port, request).empty();
    const double rawS = std::chrono::duration<double>(Clock::now() - start).count();

    std::printf("request: %zu bytes on the wire\n", request.size());
    std::printf("wrapper calls: %d (%d answered), %.0f calls/s, %.3f ms each\n", calls, ok, calls / wrapperS,
                1000 * wrapperS / calls);
    std::printf("raw POSTs of the same bytes: %d (%d answered), %.0f calls/s, %.3f ms each\n", calls, rawOk,
                calls / rawS, 1000 * rawS / calls);
    std::printf("ratio wrapper/raw: %.2f\n", (calls / wrapperS) / (calls / rawS));
    qex::SetServiceEndpointSources(nullptr, nullptr);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    std::string cleanup = std::string("rm -rf ") + dir;
    return std::system(cleanup.c_str()) == 0 ? 0 : 0;
}
