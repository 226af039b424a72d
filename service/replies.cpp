#include "service/replies.h"

#include "core/text_util.h"
#include "service/field.h"
#include "service/protocol.h"

namespace qex {
namespace {

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string Field(const std::string& reply, int n) {
    return GetField(WithTrailingSeparator(reply), protocol::kFieldSeparator, n);
}

}  // namespace

bool ParseLoginCheckReply(const std::string& reply, std::string* sealImgUrl) {
    if (!StartsWith(reply, protocol::kLoginCheckOk)) return false;
    if (sealImgUrl) *sealImgUrl = reply.substr(std::char_traits<char>::length(protocol::kLoginCheckOk));
    return true;
}

LoginQueryReply ParseLoginQueryReply(const std::string& reply) {
    LoginQueryReply out;
    out.ok = Contains(reply, protocol::kSuccess);
    if (!out.ok) return out;
    out.webUrl = Field(reply, protocol::kLoginQueryWebUrlField);
    out.openWebUrl = !EqualsIgnoringCase(out.webUrl, protocol::kNoUrl);
    out.needHandwriting = EqualsIgnoringCase(Field(reply, protocol::kLoginQueryNeedHwField),
                                             protocol::kNeedHandwriting);
    return out;
}

CaptureOpenResult ParseCaptureOpenReply(const std::string& reply, std::string* captureId,
                                        std::string* qrImageData) {
    if (Contains(reply, protocol::kRefused)) return CaptureOpenResult::kRefused;
    if (!StartsWith(reply, protocol::kSuccess)) return CaptureOpenResult::kDataError;
    if (captureId) *captureId = Field(reply, protocol::kCaptureIdField);
    if (qrImageData) *qrImageData = Field(reply, protocol::kCaptureQrField);
    return CaptureOpenResult::kOpened;
}

CapturePollResult ParseCapturePollReply(const std::string& reply, std::string* imageUrl,
                                        std::string* imageData) {
    if (Contains(reply, protocol::kRefused)) return CapturePollResult::kRefused;
    if (!StartsWith(reply, protocol::kSuccess)) return CapturePollResult::kPendingCounted;
    // Both fields are taken before either is looked at: a capture still in
    // progress leaves the caller's texts empty, not at their old values.
    const std::string url = Field(reply, protocol::kCaptureImageUrlField);
    const std::string data = Field(reply, protocol::kCaptureImageDataField);
    if (imageUrl) *imageUrl = url;
    if (imageData) *imageData = data;
    return url.empty() || data.empty() ? CapturePollResult::kPending : CapturePollResult::kFinished;
}

}  // namespace qex
