#include "service/soap_calls.h"

#include "soapQexSealServiceServiceSoapBindingProxy.h"
// The namespace table of the binding: defined here and nowhere else.
#include "QexSealServiceServiceSoapBinding.nsmap"

#include <chrono>
#include <cstdio>
#include <utility>

#include "core/step_trace.h"
#include "service/endpoint.h"
#include "service/protocol.h"
#include "service/service_texts.h"

namespace qex {
namespace {

using Proxy = QexSealServiceServiceSoapBindingProxy;

struct Outcome {
    std::string reply;
    int ranOutAfterSeconds = 0;  // the bound that ended a failed call, 0 when none did
};

// A service that took the call and then gave no answer in time. gSOAP
// reports that like a peer that closed without answering; the time the
// failed call took tells them apart (half a second of slack for timers that
// fire a little early). A connection that could not be made at all is no
// such case: the callers report an unreachable service already (and under
// Wine a refused connection waits for the whole connect bound).
int BoundThatRanOut(const CallTimeouts& timeouts, int error, std::chrono::steady_clock::duration took) {
    if (error == SOAP_TCP_ERROR) return 0;
    const double seconds = std::chrono::duration<double>(took).count();
    const auto reached = [seconds](int bound) { return bound > 0 && seconds + 0.5 >= bound; };
    if (reached(timeouts.receiveSeconds)) return timeouts.receiveSeconds;
    if (reached(timeouts.sendSeconds)) return timeouts.sendSeconds;
    return 0;
}

#ifdef QEX_STEP_TRACE
// The connect of a call, as its own step.
thread_local SOAP_SOCKET (*t_connect)(struct soap*, const char*, const char*, int) = nullptr;
SOAP_SOCKET TracedConnect(struct soap* soap, const char* endpoint, const char* host, int port) {
    QEX_STEP("service: set-up");
    const SOAP_SOCKET s = t_connect(soap, endpoint, host, port);
    QEX_STEP("service: connect");
    return s;
}
#endif

// One proxy, one call: the endpoint read just now, no SOAP action.
template <class Request, class Response>
Outcome Call(int (Proxy::*operation)(const char*, const char*, Request*, Response&), Request& request,
             const CallTimeouts& timeouts) {
    char endpoint[protocol::kEndpointBufferSize] = {0};
    ReadServiceEndpoint(endpoint);
    QEX_STEP("service: endpoint setting read");

    Proxy proxy;
    proxy.soap->connect_timeout = timeouts.connectSeconds;
    proxy.soap->send_timeout = timeouts.sendSeconds;
    proxy.soap->recv_timeout = timeouts.receiveSeconds;

    // gSOAP sends a message whose endpoint names no host to standard output
    // and reads the reply from standard input. For us such an endpoint (an
    // empty [WS] URL, say) is one that cannot be reached.
    soap_set_endpoint(proxy.soap, endpoint);
    if (proxy.soap->host[0] == '\0') {
        proxy.destroy();
        return Outcome();
    }

#ifdef QEX_STEP_TRACE
    t_connect = proxy.soap->fopen;
    proxy.soap->fopen = TracedConnect;
#endif
    Response response;
    Outcome outcome;
    const auto started = std::chrono::steady_clock::now();
    const int status = (proxy.*operation)(endpoint, nullptr, &request, response);
    if (status == SOAP_OK && response.return_ != nullptr) {
        // The reply lives in the proxy's context: copy it before that goes.
        outcome.reply = response.return_;
    } else if (status != SOAP_OK) {
        outcome.ranOutAfterSeconds = BoundThatRanOut(timeouts, status, std::chrono::steady_clock::now() - started);
    }
    QEX_STEP("service: request sent, reply read");
    proxy.destroy();
    QEX_STEP("service: context freed");
    return outcome;
}

Outcome QueryUkNameByCerBase64(std::string text, const CallTimeouts& timeouts) {
    ns1__queryUkNameByCerBase64 request;
    request.arg0 = &text[0];
    return Call(&Proxy::queryUkNameByCerBase64, request, timeouts);
}

Outcome QueryUkImgByCerBase64(std::string text, const CallTimeouts& timeouts) {
    ns1__queryUkImgByCerBase64 request;
    request.arg0 = &text[0];
    return Call(&Proxy::queryUkImgByCerBase64, request, timeouts);
}

Outcome AddUkSealLog(std::string text0, std::string text1, const CallTimeouts& timeouts) {
    ns1__addUkSealLog request;
    request.arg0 = &text0[0];
    request.arg1 = &text1[0];
    return Call(&Proxy::addUkSealLog, request, timeouts);
}

Outcome QueryUkMsgByCerHashBase64(std::string text, const CallTimeouts& timeouts) {
    ns1__queryUkMsgByCerHashBase64 request;
    request.arg0 = &text[0];
    return Call(&Proxy::queryUkMsgByCerHashBase64, request, timeouts);
}

}  // namespace

// The request objects point at the callers' texts (taken by value above);
// gSOAP never writes through these pointers.
std::string CallQueryUkNameByCerBase64(std::string text, const CallTimeouts& timeouts) {
    return QueryUkNameByCerBase64(std::move(text), timeouts).reply;
}

std::string CallQueryUkImgByCerBase64(std::string text, const CallTimeouts& timeouts) {
    return QueryUkImgByCerBase64(std::move(text), timeouts).reply;
}

std::string CallAddUkSealLog(std::string text0, std::string text1, const CallTimeouts& timeouts) {
    return AddUkSealLog(std::move(text0), std::move(text1), timeouts).reply;
}

std::string CallQueryUkMsgByCerHashBase64(std::string text, const CallTimeouts& timeouts) {
    return QueryUkMsgByCerHashBase64(std::move(text), timeouts).reply;
}

std::string NoAnswerLine(int seconds) {
    char line[sizeof(text::kServiceNoAnswer) + 16];
    std::snprintf(line, sizeof line, text::kServiceNoAnswer, seconds);
    return line;
}

std::string SoapSealService::Report(std::string reply, int ranOutAfterSeconds) {
    if (ranOutAfterSeconds > 0 && noAnswer_) noAnswer_->AppendStatus(NoAnswerLine(ranOutAfterSeconds));
    return reply;
}

std::string SoapSealService::QueryUkNameByCerBase64(const std::string& arg0) {
    Outcome o = qex::QueryUkNameByCerBase64(arg0, timeouts_);
    return Report(std::move(o.reply), o.ranOutAfterSeconds);
}

std::string SoapSealService::QueryUkImgByCerBase64(const std::string& arg0) {
    Outcome o = qex::QueryUkImgByCerBase64(arg0, timeouts_);
    return Report(std::move(o.reply), o.ranOutAfterSeconds);
}

std::string SoapSealService::AddUkSealLog(const std::string& arg0, const std::string& arg1) {
    Outcome o = qex::AddUkSealLog(arg0, arg1, timeouts_);
    return Report(std::move(o.reply), o.ranOutAfterSeconds);
}

std::string SoapSealService::QueryUkMsgByCerHashBase64(const std::string& arg0) {
    Outcome o = qex::QueryUkMsgByCerHashBase64(arg0, timeouts_);
    return Report(std::move(o.reply), o.ranOutAfterSeconds);
}

}  // namespace qex
