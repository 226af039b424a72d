#include "sim/sealservice/http_get.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/sealservice/capture_web.h"
#include "sim/sealservice/faults.h"

namespace qex::sim {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string ContentType(const std::string& path) {
    const auto dot = path.rfind('.');
    const std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
    if (ext == "html" || ext == "htm") return "text/html; charset=utf-8";
    if (ext == "js" || ext == "mjs") return "text/javascript";
    if (ext == "css") return "text/css";
    if (ext == "png") return "image/png";
    if (ext == "json") return "application/json";
    return "application/octet-stream";
}

std::string Text(int status, const std::string& body) {
    return HttpResponse(status, "text/plain; charset=utf-8", body + "\n");
}

std::string Route(const std::string& path) { return path.substr(0, path.find('?')); }

std::string Query(const std::string& path) {
    const auto q = path.find('?');
    return q == std::string::npos ? std::string() : path.substr(q + 1);
}

std::string StaticFile(const std::string& wwwDir, std::string path) {
    if (path == "/" || path == "/demo") {
        // A folder of one's own may bring its own index; the demo page otherwise.
        std::error_code error;
        if (path == "/demo" || wwwDir.empty() || !std::filesystem::is_regular_file(wwwDir + "/index.html", error)) {
            path = "/demo.html";
        } else {
            path = "/index.html";
        }
    }
    // Only plain names below the folder: no way out of it.
    if (path.find("..") != std::string::npos || path.find('\\') != std::string::npos) {
        return Text(404, "not found");
    }
    std::ifstream file;
    std::error_code error;
    if (!wwwDir.empty() && std::filesystem::is_regular_file(wwwDir + path, error)) {
        file.open(wwwDir + path, std::ios::binary);
    }
    if (!file.is_open()) {
        // The built-in pages: the demo and the library it loads from /sdk/.
        const bool builtIn = path == "/demo.html" || path.compare(0, 5, "/sdk/") == 0;
        const std::string page = builtIn ? SitePage(std::string(), path.substr(1)) : std::string();
        if (page.empty()) return Text(404, "not found");
        return HttpResponse(200, ContentType(path), page);
    }
    std::ostringstream body;
    body << file.rdbuf();
    return HttpResponse(200, ContentType(path), body.str());
}

}  // namespace

std::string UrlDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string QueryValue(const std::string& query, const std::string& name) {
    std::istringstream parts(query);
    std::string part;
    while (std::getline(parts, part, '&')) {
        const auto eq = part.find('=');
        if (part.substr(0, eq) == name) {
            return eq == std::string::npos ? std::string() : UrlDecode(part.substr(eq + 1));
        }
    }
    return std::string();
}

bool IsWebPost(const std::string& path) { return Route(path) == "/phone/submit"; }

std::string HandlePost(Store& store, const std::string& publicBase, const std::string& path,
                       const std::string& body) {
    if (!IsWebPost(path)) return Text(404, "not found");
    return SubmitHandwriting(store, publicBase, Query(path), body);
}

std::string HandleGet(Store& store, const std::string& wwwDir, const std::string& path) {
    const std::string route = Route(path);
    const std::string query = Query(path);
    if (route == "/phone/capture") return PhoneCapturePage(store, wwwDir, query);
    if (route == "/phone/submit") return Text(405, "POST the image");
    if (route.compare(0, 4, "/hw/") == 0) return HandwritingImage(store, route);
    if (route.compare(0, 6, "/seal/") == 0 && route.size() > 10 &&
        route.compare(route.size() - 4, 4, ".png") == 0) {
        return SealImage();
    }
    if (route == "/admin/fault") {
        std::string mode = QueryValue(query, "mode");
        if (mode == "none") mode.clear();
        FaultMode parsed;
        if (!ParseFaultMode(mode, &parsed)) return Text(400, "unknown fault mode");
        return store.SetSetting("fault", mode) ? Text(200, "OK") : Text(500, "storage failed");
    }
    if (route == "/admin/finish-capture") {
        if (!store.FinishCapture(QueryValue(query, "id"), QueryValue(query, "url"),
                                 QueryValue(query, "data"))) {
            return Text(404, "no such capture");
        }
        return Text(200, "OK");
    }
    if (route == "/admin/last-log") {
        const auto logs = store.Logs();
        if (logs.empty()) return Text(404, "no seal log");
        return HttpResponse(200, "application/octet-stream", logs.back().text);
    }
    if (route == "/admin/last-request") {
        const auto requests = store.Requests();
        if (requests.empty()) return Text(404, "no request");
        return HttpResponse(200, "application/octet-stream", requests.back());
    }
    return StaticFile(wwwDir, route);
}

}  // namespace qex::sim
