#include "sim_web_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>

namespace qex::testing {
namespace {

std::string Lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string XmlUnescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 5, "&amp;") == 0) { out += '&'; i += 4; }
        else if (text.compare(i, 4, "&lt;") == 0) { out += '<'; i += 3; }
        else if (text.compare(i, 4, "&gt;") == 0) { out += '>'; i += 3; }
        else out += text[i];
    }
    return out;
}

}  // namespace

std::string HttpReply::Header(const std::string& name) const {
    const std::string key = "\r\n" + Lower(name) + ":";
    const std::string lower = Lower(headers);
    const auto at = lower.find(key);
    if (at == std::string::npos) return std::string();
    auto begin = at + key.size();
    while (begin < headers.size() && headers[begin] == ' ') ++begin;
    const auto end = headers.find("\r\n", begin);
    return headers.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

HttpReply Exchange(int port, const std::string& request) {
    HttpReply reply;
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return reply;
    // A generous ceiling so a hung server fails the test instead of hanging it.
    timeval tv{30, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        close(s);
        return reply;
    }
    std::size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t n = send(s, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;  // the server may answer and stop reading early
        sent += static_cast<std::size_t>(n);
    }
    std::string raw;
    char buf[65536];
    for (;;) {
        const ssize_t n = recv(s, buf, sizeof(buf), 0);
        if (n <= 0) break;
        raw.append(buf, static_cast<std::size_t>(n));
    }
    close(s);
    const auto split = raw.find("\r\n\r\n");
    if (split == std::string::npos || raw.compare(0, 9, "HTTP/1.1 ") != 0) return reply;
    reply.status = std::atoi(raw.c_str() + 9);
    reply.headers = raw.substr(0, split);
    reply.body = raw.substr(split + 4);
    return reply;
}

HttpReply HttpGet(int port, const std::string& path) {
    return Exchange(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
}

HttpReply HttpPost(int port, const std::string& path, const std::string& body, const std::string& contentType) {
    return Exchange(port, "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Type: " +
                              contentType + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                              body);
}

std::string QueryUkName(int port, const std::string& arg0) {
    const std::string envelope =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><soap:Envelope "
        "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body><ns1:queryUkNameByCerBase64 "
        "xmlns:ns1=\"http://ws.sealservice.qex.com/\"><arg0>" + arg0 +
        "</arg0></ns1:queryUkNameByCerBase64></soap:Body></soap:Envelope>";
    const HttpReply reply = HttpPost(port, "/qexseal/ws/mycxf", envelope, "text/xml; charset=utf-8");
    const auto begin = reply.body.find("<return>");
    const auto end = reply.body.find("</return>");
    if (begin == std::string::npos || end == std::string::npos) return "(no return)";
    return XmlUnescape(reply.body.substr(begin + 8, end - begin - 8));
}

}  // namespace qex::testing
