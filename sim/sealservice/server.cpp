#include "sim/sealservice/server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "soapQexSealServiceServiceSoapBindingService.h"
#include "QexSealServiceServiceSoapBinding.nsmap"

#include "sim/sealservice/capture_web.h"
#include "sim/sealservice/faults.h"
#include "sim/sealservice/http_get.h"
#include "sim/sealservice/logic.h"
#include "sim/sealservice/store.h"

namespace qex::sim {
namespace {

using GeneratedService = QexSealServiceServiceSoapBindingService;

// What one connection's thread owns, reached from gSOAP callbacks via soap->user.
struct Connection {
    Store* store = nullptr;
    const ServerOptions* options = nullptr;
    std::string publicBase;   // "http://" + public host + ":" + bound port
    std::string raw;    // the request bytes as received
    size_t (*recv)(struct soap*, char*, size_t) = nullptr;
    int (*parse)(struct soap*) = nullptr;
};

Connection& ConnectionOf(struct soap* soap) { return *static_cast<Connection*>(soap->user); }

size_t RecordingRecv(struct soap* soap, char* buf, size_t len) {
    Connection& c = ConnectionOf(soap);
    const size_t n = c.recv(soap, buf, len);
    c.raw.append(buf, n);
    return n;
}

void RecordRequest(struct soap* soap) {
    Connection& c = ConnectionOf(soap);
    if (!c.raw.empty()) c.store->AddRequest(c.raw);
    c.raw.clear();
}

bool SendRaw(struct soap* soap, const std::string& response) {
    return soap->fsend(soap, response.data(), response.size()) == SOAP_OK;
}

int ServeGet(struct soap* soap) {
    Connection& c = ConnectionOf(soap);
    SendRaw(soap, HandleGet(*c.store, c.options->wwwDir, soap->path[0] ? soap->path : "/"));
    soap->keep_alive = 0;
    return SOAP_OK;
}

// Reads and drops what a peer still sends after a refusal, for a short
// while and up to a bound, so that closing the socket does not reset the
// connection before the peer has read the answer.
void Drain(struct soap* soap) {
    ::shutdown(soap->socket, SHUT_WR);
    char buf[16384];
    std::size_t total = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (total < 8 * kMaxPostBytes && std::chrono::steady_clock::now() < deadline) {
        pollfd p{soap->socket, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) continue;
        const ssize_t n = ::recv(soap->socket, buf, sizeof(buf), 0);
        if (n <= 0) break;
        total += static_cast<std::size_t>(n);
    }
}

// gSOAP hands every POST to this first: the phone's submit is answered here,
// anything else goes on to the SOAP dispatch (404 tells gSOAP so).
int ServePost(struct soap* soap) {
    Connection& c = ConnectionOf(soap);
    const std::string path = soap->path[0] ? soap->path : "/";
    if (!IsWebPost(path)) return 404;
    soap->keep_alive = 0;
    // The bound is checked on the announced length, before a byte of the
    // body is read; a chunked body announces none.
    if ((soap->mode & SOAP_IO) == SOAP_IO_CHUNK) {
        SendRaw(soap, HttpResponse(411, "text/plain", "a Content-Length is required\n"));
        Drain(soap);
        return SOAP_OK;
    }
    if (soap->length == 0) {
        SendRaw(soap, HttpResponse(400, "text/plain", "the body is empty\n"));
        return SOAP_OK;
    }
    if (soap->length > kMaxPostBytes) {
        SendRaw(soap, HttpResponse(413, "text/plain", "the body is larger than 2 MiB\n"));
        Drain(soap);
        return SOAP_OK;
    }
    size_t length = 0;
    const char* body = soap_http_get_body(soap, &length);
    if (body == nullptr) return soap->error ? soap->error : SOAP_EOF;
    c.raw.clear();  // an image, not a SOAP request worth keeping
    SendRaw(soap, HandlePost(*c.store, c.publicBase, path, std::string(body, length)));
    return SOAP_OK;
}

// http_parse clears the form handler before every request; set it again.
int ParseHttp(struct soap* soap) {
    Connection& c = ConnectionOf(soap);
    const int error = c.parse(soap);
    soap->fform = ServePost;
    return error;
}

class SealSoapService : public GeneratedService {
public:
    SealSoapService(struct soap* soap, Store& store, const std::string& publicBase)
        : GeneratedService(soap), store_(store), logic_(store, publicBase) {}

    int queryUkNameByCerBase64(ns1__queryUkNameByCerBase64* req,
                               ns1__queryUkNameByCerBase64Response& resp) override {
        return Answer("queryUkNameByCerBase64", logic_.QueryUkName(Arg(req->arg0)), &resp.return_);
    }
    int queryUkImgByCerBase64(ns1__queryUkImgByCerBase64* req,
                              ns1__queryUkImgByCerBase64Response& resp) override {
        return Answer("queryUkImgByCerBase64", logic_.QueryUkImg(Arg(req->arg0)), &resp.return_);
    }
    int addUkSealLog(ns1__addUkSealLog* req, ns1__addUkSealLogResponse& resp) override {
        return Answer("addUkSealLog", logic_.AddUkSealLog(Arg(req->arg0), Arg(req->arg1)), &resp.return_);
    }
    int queryUkMsgByCerHashBase64(ns1__queryUkMsgByCerHashBase64* req,
                                  ns1__queryUkMsgByCerHashBase64Response& resp) override {
        return Answer("queryUkMsgByCerHashBase64", logic_.QueryUkMsg(Arg(req->arg0)), &resp.return_);
    }
    int queryUkStateByCerBase64(ns1__queryUkStateByCerBase64* req,
                                ns1__queryUkStateByCerBase64Response& resp) override {
        return Answer("queryUkStateByCerBase64", logic_.QueryUkState(Arg(req->arg0)), &resp.return_);
    }
    int queryUkImgDataByCerBase64(ns1__queryUkImgDataByCerBase64* req,
                                  ns1__queryUkImgDataByCerBase64Response& resp) override {
        return Answer("queryUkImgDataByCerBase64", logic_.QueryUkImgData(Arg(req->arg0)), &resp.return_);
    }
    int queryUkCerContentBase64ByCerBase64(ns1__queryUkCerContentBase64ByCerBase64* req,
                                           ns1__queryUkCerContentBase64ByCerBase64Response& resp) override {
        return Answer("queryUkCerContentBase64ByCerBase64", logic_.QueryUkCerContent(Arg(req->arg0)),
                      &resp.return_);
    }
    GeneratedService* copy() override { return nullptr; }

private:
    static std::string Arg(const char* s) { return s ? s : ""; }

    // The normal reply goes through gSOAP; an injected fault is written raw
    // and SOAP_STOP keeps gSOAP from answering as well.
    int Answer(const char* operation, const std::string& reply, char** out) {
        // Recorded before the answer goes out, so a client that has its reply
        // finds its request stored.
        RecordRequest(soap);
        FaultMode mode;
        ParseFaultMode(store_.Setting("fault"), &mode);
        if (mode.kind == FaultKind::kDelay) {
            std::this_thread::sleep_for(std::chrono::milliseconds(mode.delayMs));
        }
        if (mode.kind == FaultKind::kNone || mode.kind == FaultKind::kDelay || IsCaptureFault(mode.kind)) {
            *out = soap_strdup(soap, reply.c_str());
            return SOAP_OK;
        }
        if (mode.kind != FaultKind::kClose) {
            SendRaw(soap, FaultResponse(mode, operation, reply));
        }
        soap->keep_alive = 0;
        return SOAP_STOP;
    }

    Store& store_;
    SealServiceLogic logic_;
};

void ServeConnection(struct soap* soap, Store* store, const ServerOptions* options, std::string publicBase) {
    Connection c;
    c.store = store;
    c.options = options;
    c.publicBase = std::move(publicBase);
    c.recv = soap->frecv;
    c.parse = soap->fparse;
    soap->user = &c;
    soap->frecv = RecordingRecv;
    soap->fparse = ParseHttp;
    soap->fget = ServeGet;
    {
        SealSoapService service(soap, *store, c.publicBase);
        service.serve();
        service.destroy();
    }
    soap_free(soap);
}

int BoundPort(SOAP_SOCKET socket) {
    sockaddr_in addr{};
    socklen_t len = sizeof(addr);
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return -1;
    return ntohs(addr.sin_port);
}

}  // namespace

int RunServer(const ServerOptions& options) {
    Store store(options.dbPath);
    if (!store.Init()) return 1;

    struct soap* master = soap_new();
    master->bind_flags = SO_REUSEADDR;
    // A client that stops talking must not hold a thread for ever.
    master->recv_timeout = 60;
    master->send_timeout = 60;
    if (!soap_valid_socket(soap_bind(master, "127.0.0.1", options.port, 64))) {
        soap_print_fault(master, stderr);
        soap_free(master);
        return 1;
    }
    const int port = BoundPort(master->master);
    const std::string publicBase = "http://" + options.publicHost + ":" + std::to_string(port);
    std::printf("qex-sealservice: listening on http://127.0.0.1:%d/ (db %s)\n", port,
                options.dbPath.c_str());
    std::fflush(stdout);
    if (!options.portFile.empty()) {
        // Written whole under a temporary name, so a reader never sees half.
        const std::string tmp = options.portFile + ".tmp";
        std::ofstream(tmp) << port << "\n";
        std::rename(tmp.c_str(), options.portFile.c_str());
    }
    for (;;) {
        if (!soap_valid_socket(soap_accept(master))) {
            if (master->errnum == 0) continue;  // accept time-out
            soap_print_fault(master, stderr);
            continue;
        }
        struct soap* connection = soap_copy(master);
        if (connection == nullptr) continue;
        std::thread(ServeConnection, connection, &store, &options, publicBase).detach();
    }
}

}  // namespace qex::sim
