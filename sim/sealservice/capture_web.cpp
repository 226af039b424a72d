#include "sim/sealservice/capture_web.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "service/base64.h"
#include "sim/sealservice/faults.h"
#include "sim/sealservice/http_get.h"
#include "sim/sealservice/images.h"
#include "sim/sealservice/logic.h"
#include "sim/sealservice/pages.h"
#include "sim/sealservice/png_image.h"

namespace qex::sim {
namespace {

constexpr char kHtml[] = "text/html; charset=utf-8";

// The sources are compiled to code page 936; the phone reads UTF-8. Numeric
// character references keep these Chinese texts plain ASCII in both.
constexpr char kUnknownCaptureText[] =
    "&#x672A;&#x627E;&#x5230;&#x8BE5;&#x624B;&#x5199;&#x7B7E;&#x540D;&#x91C7;&#x96C6;&#xFF0C;"
    "&#x8BF7;&#x5728;&#x7535;&#x8111;&#x4E0A;&#x91CD;&#x65B0;&#x751F;&#x6210;&#x4E8C;&#x7EF4;"
    "&#x7801;&#x540E;&#x518D;&#x626B;&#x63CF;&#x3002;";
constexpr char kFinishedCaptureText[] =
    "&#x8BE5;&#x624B;&#x5199;&#x7B7E;&#x540D;&#x5DF2;&#x7ECF;&#x63D0;&#x4EA4;&#xFF0C;&#x65E0;"
    "&#x9700;&#x91CD;&#x590D;&#x63D0;&#x4EA4;&#x3002;";
constexpr char kPageTitle[] = "&#x624B;&#x5199;&#x7B7E;&#x540D;";

std::string Plain(int status, const std::string& text) {
    return HttpResponse(status, "text/plain; charset=utf-8", text + "\n");
}

std::string NoticePage(int status, const char* text) {
    return HttpResponse(status, kHtml,
                        std::string("<!DOCTYPE html><html lang=\"zh-CN\"><meta charset=\"utf-8\">"
                                    "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
                                    "<title>") +
                            kPageTitle + "</title><p style=\"font-size:1.2em;margin:2em 1em\">" + text +
                            "</p></html>\n");
}

}  // namespace

std::string SitePage(const std::string& wwwDir, const std::string& name) {
    std::error_code error;
    if (!wwwDir.empty() && std::filesystem::is_regular_file(wwwDir + "/" + name, error)) {
        std::ifstream file(wwwDir + "/" + name, std::ios::binary);
        std::ostringstream body;
        body << file.rdbuf();
        if (file) return body.str();
    }
    return EmbeddedPage(name);
}

std::string PhoneCapturePage(Store& store, const std::string& wwwDir, const std::string& query) {
    const auto capture = store.FindCapture(QueryValue(query, "id"));
    if (!capture) return NoticePage(404, kUnknownCaptureText);
    if (capture->finished) return NoticePage(409, kFinishedCaptureText);
    const std::string page = SitePage(wwwDir, "phone.html");
    if (page.empty()) return Plain(404, "phone page missing");
    return HttpResponse(200, kHtml, page);
}

std::string SubmittedPng(const std::string& body) {
    std::string base64 = body;
    const std::string dataUrl = "data:image/png;base64,";
    if (base64.compare(0, dataUrl.size(), dataUrl) == 0) base64.erase(0, dataUrl.size());
    // Anything else that names itself a data URL is not a PNG we take.
    if (base64.compare(0, 5, "data:") == 0) return std::string();
    const std::string bytes = DecodeBase64(base64);
    int width = 0, height = 0;
    if (!PngSize(bytes, &width, &height) || width > kMaxHandwritingSide || height > kMaxHandwritingSide) {
        return std::string();
    }
    return bytes;
}

std::string SubmitHandwriting(Store& store, const std::string& publicBase, const std::string& query,
                              const std::string& body) {
    const std::string id = QueryValue(query, "id");
    const auto capture = store.FindCapture(id);
    if (!capture) return Plain(404, "no such capture");
    if (capture->finished) return Plain(409, "capture already finished");
    const std::string png = SubmittedPng(body);
    if (png.empty()) return Plain(400, "the body is not a PNG image (data URL or Base64)");
    // Stored as clean Base64, which the poll reply carries as it is.
    if (!store.FinishOpenCapture(id, HandwritingImageUrl(publicBase, id), EncodeBase64(png))) {
        return store.FindCapture(id) ? Plain(409, "capture already finished") : Plain(500, "storage failed");
    }
    return Plain(200, "OK");
}

std::string HandwritingImage(Store& store, const std::string& route) {
    const std::string prefix = "/hw/", suffix = ".png";
    if (route.size() <= prefix.size() + suffix.size() ||
        route.compare(route.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return Plain(404, "not found");
    }
    const std::string id = route.substr(prefix.size(), route.size() - prefix.size() - suffix.size());
    const auto capture = store.FindCapture(id);
    if (!capture || !capture->finished) return Plain(404, "no handwriting for this capture");
    const std::string bytes = DecodeBase64(capture->imageData);
    int width = 0, height = 0;
    if (!PngSize(bytes, &width, &height)) return Plain(404, "the stored handwriting is not a PNG image");
    return HttpResponse(200, "image/png", bytes);
}

std::string SealImage() {
    static const std::string png = SealPng();
    return HttpResponse(200, "image/png", png);
}

}  // namespace qex::sim
