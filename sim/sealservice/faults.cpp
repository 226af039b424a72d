#include "sim/sealservice/faults.h"

#include <cstdio>
#include <cstdlib>
#include <map>

namespace qex::sim {
namespace {

constexpr char kTns[] = "http://ws.sealservice.qex.com/";
constexpr char kSoap11Env[] = "http://schemas.xmlsoap.org/soap/envelope/";
constexpr char kSoap12Env[] = "http://www.w3.org/2003/05/soap-envelope";
constexpr char kXsi[] = "http://www.w3.org/2001/XMLSchema-instance";

const std::map<std::string, FaultKind>& Names() {
    static const std::map<std::string, FaultKind> names = {
        {"none", FaultKind::kNone},
        {"soap12", FaultKind::kSoap12},
        {"soap11-fault", FaultKind::kSoap11Fault},
        {"soap12-fault", FaultKind::kSoap12Fault},
        {"fault-200", FaultKind::kFault200},
        {"no-return", FaultKind::kNoReturn},
        {"nil-return", FaultKind::kNilReturn},
        {"wrong-element", FaultKind::kWrongElement},
        {"http-error", FaultKind::kHttpError},
        {"not-xml", FaultKind::kNotXml},
        {"close", FaultKind::kClose},
        {"refuse-open", FaultKind::kRefuseOpen},
        {"refuse-poll", FaultKind::kRefusePoll},
        {"never", FaultKind::kNeverFinish},
    };
    return names;
}

std::string Envelope(const char* ns, const std::string& body) {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>") + "<soap:Envelope xmlns:soap=\"" +
           ns + "\"><soap:Body>" + body + "</soap:Body></soap:Envelope>";
}

std::string ResponseElement(const std::string& operation, const std::string& inner) {
    const std::string name = "ns1:" + operation + "Response";
    return "<" + name + " xmlns:ns1=\"" + kTns + "\">" + inner + "</" + name + ">";
}

}  // namespace

bool ParseFaultMode(const std::string& text, FaultMode* mode) {
    if (text.empty()) {
        *mode = FaultMode{};
        return true;
    }
    const std::string delay = "delay:";
    if (text.compare(0, delay.size(), delay) == 0) {
        char* end = nullptr;
        const long ms = std::strtol(text.c_str() + delay.size(), &end, 10);
        if (end == text.c_str() + delay.size() || *end != '\0' || ms < 0) return false;
        *mode = FaultMode{FaultKind::kDelay, ms};
        return true;
    }
    const auto it = Names().find(text);
    if (it == Names().end()) return false;
    *mode = FaultMode{it->second, 0};
    return true;
}

const char* FaultModeNames() {
    return "none soap12 soap11-fault soap12-fault fault-200 no-return nil-return wrong-element "
           "http-error not-xml close delay:<ms> refuse-open refuse-poll never";
}

bool IsCaptureFault(FaultKind kind) {
    return kind == FaultKind::kRefuseOpen || kind == FaultKind::kRefusePoll || kind == FaultKind::kNeverFinish;
}

std::string XmlText(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c >= 0x80) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x20 && c != '\t') {
            char ref[8];
            std::snprintf(ref, sizeof(ref), "&#x%X;", c);
            out += ref;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string HttpResponse(int status, const std::string& contentType, const std::string& body) {
    const char* reason = status == 200 ? "OK" : status == 400 ? "Bad Request"
                       : status == 404 ? "Not Found" : status == 405 ? "Method Not Allowed"
                       : status == 409 ? "Conflict" : status == 411 ? "Length Required"
                       : status == 413 ? "Payload Too Large"
                       : status == 500 ? "Internal Server Error" : status == 503 ? "Service Unavailable"
                       : "Error";
    char head[256];
    std::snprintf(head, sizeof(head),
                  "HTTP/1.1 %d %s\r\nContent-Type: %s\r\nContent-Length: %zu\r\nConnection: close\r\n\r\n",
                  status, reason, contentType.c_str(), body.size());
    return head + body;
}

std::string FaultResponse(const FaultMode& mode, const std::string& operation,
                          const std::string& reply) {
    const std::string xml11 = "text/xml; charset=utf-8";
    const std::string xml12 = "application/soap+xml; charset=utf-8";
    const std::string value = "<return>" + XmlText(reply) + "</return>";
    const std::string fault11 =
        "<soap:Fault><faultcode>soap:Server</faultcode><faultstring>injected fault</faultstring>"
        "</soap:Fault>";
    switch (mode.kind) {
        case FaultKind::kSoap12:
            return HttpResponse(200, xml12, Envelope(kSoap12Env, ResponseElement(operation, value)));
        case FaultKind::kSoap11Fault:
            return HttpResponse(500, xml11, Envelope(kSoap11Env, fault11));
        case FaultKind::kFault200:
            return HttpResponse(200, xml11, Envelope(kSoap11Env, fault11));
        case FaultKind::kSoap12Fault:
            return HttpResponse(
                500, xml12,
                Envelope(kSoap12Env,
                         "<soap:Fault><soap:Code><soap:Value>soap:Receiver</soap:Value></soap:Code>"
                         "<soap:Reason><soap:Text xml:lang=\"en\">injected fault</soap:Text>"
                         "</soap:Reason></soap:Fault>"));
        case FaultKind::kNoReturn:
            return HttpResponse(200, xml11, Envelope(kSoap11Env, ResponseElement(operation, "")));
        case FaultKind::kNilReturn:
            return HttpResponse(
                200, xml11,
                Envelope(kSoap11Env, ResponseElement(operation, std::string("<return xsi:nil=\"true\" xmlns:xsi=\"") +
                                                                    kXsi + "\"/>")));
        case FaultKind::kWrongElement:
            return HttpResponse(200, xml11,
                                Envelope(kSoap11Env, ResponseElement("queryUkStateByCerBase64", value)));
        case FaultKind::kHttpError:
            return HttpResponse(503, "text/plain", "service busy");
        case FaultKind::kNotXml:
            return HttpResponse(200, "text/plain", reply);
        default:
            return std::string();
    }
}

}  // namespace qex::sim
