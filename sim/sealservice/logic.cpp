#include "sim/sealservice/logic.h"

#include "core/text_util.h"
#include "sim/sealservice/faults.h"
#include "sim/sealservice/images.h"
#include "service/base64.h"
#include "service/protocol.h"

namespace qex::sim {
namespace p = qex::protocol;

const char kPlaceholderQrPngBase64[] =
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAAAAAA6fptVAAAACklEQVR4nGNoAAAAggCBd81ytgAAAABJRU5ErkJggg==";
const char kCaptureWaiting[] = "QEXWAIT";

namespace {

const std::string kSep = p::kFieldSeparator;

std::string Refusal(const char* why) { return std::string(p::kRefused) + kSep + why; }

std::string Rest(const std::string& text, const char* prefix) {
    return text.substr(std::char_traits<char>::length(prefix));
}

FaultKind CurrentFault(Store& store) {
    FaultMode mode;
    ParseFaultMode(store.Setting("fault"), &mode);
    return mode.kind;
}

}  // namespace

std::string SealServiceLogic::QueryUkName(const std::string& arg0) {
    if (arg0 == p::kOpenCapture) return OpenCapture();
    if (StartsWith(arg0, p::kPollCapture)) return PollCapture(Rest(arg0, p::kPollCapture));
    if (StartsWith(arg0, p::kLoginQuery)) return LoginQuery(Rest(arg0, p::kLoginQuery));
    return Refusal("BAD_REQUEST");
}

std::string SealServiceLogic::LoginQuery(const std::string& certHash) {
    const auto seal = store_.FindSeal(certHash);
    if (!seal) return Refusal("UNKNOWN_KEY");
    const std::string web = seal->webUrl.empty() ? std::string(p::kNoUrl) : seal->webUrl;
    return std::string(p::kSuccess) + kSep + web + kSep + (seal->needHandwriting ? "1" : "0");
}

std::string PhoneCaptureUrl(const std::string& publicBase, const std::string& id) {
    return publicBase + "/phone/capture?id=" + id;
}

std::string HandwritingImageUrl(const std::string& publicBase, const std::string& id) {
    return publicBase + "/hw/" + id + ".png";
}

std::string SealServiceLogic::OpenCapture() {
    if (CurrentFault(store_) == FaultKind::kRefuseOpen) return Refusal("CAPTURE_REFUSED");
    const std::string id = store_.OpenCapture();
    if (id.empty()) return Refusal("STORAGE");
    const std::string qr = QrPng(PhoneCaptureUrl(publicBase_, id));
    if (qr.empty()) return Refusal("QR_CODE");
    return std::string(p::kSuccess) + kSep + id + kSep + EncodeBase64(qr);
}

std::string SealServiceLogic::PollCapture(const std::string& id) {
    const auto capture = store_.FindCapture(id);
    if (!capture) return Refusal("UNKNOWN_CAPTURE");
    const FaultKind fault = CurrentFault(store_);
    if (fault == FaultKind::kRefusePoll) return Refusal("CAPTURE_REFUSED");
    if (!capture->finished || fault == FaultKind::kNeverFinish) return kCaptureWaiting;
    return std::string(p::kSuccess) + kSep + capture->imageUrl + kSep + capture->imageData;
}

std::string SealServiceLogic::QueryUkImg(const std::string& arg0) {
    const auto seal = store_.FindSeal(arg0);
    if (!seal) return Refusal("UNKNOWN_KEY");
    return std::string(p::kLoginCheckOk) + seal->imageUrl;
}

std::string SealServiceLogic::AddUkSealLog(const std::string& arg0, const std::string& arg1) {
    if (!store_.AddLog(arg0, arg1)) return Refusal("STORAGE");
    return p::kSuccess;
}

std::string SealServiceLogic::QueryUkMsg(const std::string& arg0) {
    // The unit and the seal name are Chinese: the reply travels as Base64.
    if (!StartsWith(arg0, p::kSealDetails)) return EncodeBase64(Refusal("BAD_REQUEST"));
    const auto seal = store_.FindSeal(Rest(arg0, p::kSealDetails));
    if (!seal) return EncodeBase64(Refusal("UNKNOWN_KEY"));
    return EncodeBase64(NowText() + kSep + seal->unit + kSep + seal->name);
}

std::string SealServiceLogic::QueryUkState(const std::string& arg0) {
    return store_.FindSeal(arg0) ? std::string(p::kSuccess) + kSep + "1" : Refusal("UNKNOWN_KEY");
}

std::string SealServiceLogic::QueryUkImgData(const std::string& arg0) {
    return store_.FindSeal(arg0) ? std::string(p::kSuccess) + kSep + kPlaceholderQrPngBase64
                                 : Refusal("UNKNOWN_KEY");
}

std::string SealServiceLogic::QueryUkCerContent(const std::string& arg0) {
    return store_.FindSeal(arg0) ? Refusal("NO_CERTIFICATE") : Refusal("UNKNOWN_KEY");
}

}  // namespace qex::sim
