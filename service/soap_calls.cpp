#include "service/soap_calls.h"

#include "soapQexSealServiceServiceSoapBindingProxy.h"
// The namespace table of the binding: defined here and nowhere else.
#include "QexSealServiceServiceSoapBinding.nsmap"

#include "service/endpoint.h"
#include "service/protocol.h"

namespace qex {
namespace {

using Proxy = QexSealServiceServiceSoapBindingProxy;

// One proxy, one call: the endpoint read just now, no SOAP action.
template <class Request, class Response>
std::string Call(int (Proxy::*operation)(const char*, const char*, Request*, Response&),
                 Request& request, const CallTimeouts& timeouts) {
    char endpoint[protocol::kEndpointBufferSize] = {0};
    ReadServiceEndpoint(endpoint);

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
        return std::string();
    }

    Response response;
    std::string result;
    if ((proxy.*operation)(endpoint, nullptr, &request, response) == SOAP_OK &&
        response.return_ != nullptr) {
        // The reply lives in the proxy's context: copy it before that goes.
        result = response.return_;
    }
    proxy.destroy();
    return result;
}

// The request objects point at the caller's texts; gSOAP never writes
// through these pointers.
char* Text(std::string& s) { return &s[0]; }

}  // namespace

std::string CallQueryUkNameByCerBase64(std::string text, const CallTimeouts& timeouts) {
    ns1__queryUkNameByCerBase64 request;
    request.arg0 = Text(text);
    return Call(&Proxy::queryUkNameByCerBase64, request, timeouts);
}

std::string CallQueryUkImgByCerBase64(std::string text, const CallTimeouts& timeouts) {
    ns1__queryUkImgByCerBase64 request;
    request.arg0 = Text(text);
    return Call(&Proxy::queryUkImgByCerBase64, request, timeouts);
}

std::string CallAddUkSealLog(std::string text0, std::string text1, const CallTimeouts& timeouts) {
    ns1__addUkSealLog request;
    request.arg0 = Text(text0);
    request.arg1 = Text(text1);
    return Call(&Proxy::addUkSealLog, request, timeouts);
}

std::string CallQueryUkMsgByCerHashBase64(std::string text, const CallTimeouts& timeouts) {
    ns1__queryUkMsgByCerHashBase64 request;
    request.arg0 = Text(text);
    return Call(&Proxy::queryUkMsgByCerHashBase64, request, timeouts);
}

std::string SoapSealService::QueryUkNameByCerBase64(const std::string& arg0) {
    return CallQueryUkNameByCerBase64(arg0, timeouts_);
}

std::string SoapSealService::QueryUkImgByCerBase64(const std::string& arg0) {
    return CallQueryUkImgByCerBase64(arg0, timeouts_);
}

std::string SoapSealService::AddUkSealLog(const std::string& arg0, const std::string& arg1) {
    return CallAddUkSealLog(arg0, arg1, timeouts_);
}

std::string SoapSealService::QueryUkMsgByCerHashBase64(const std::string& arg0) {
    return CallQueryUkMsgByCerHashBase64(arg0, timeouts_);
}

}  // namespace qex
