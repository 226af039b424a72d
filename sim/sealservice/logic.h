// What the simulated seal service answers, operation by operation, in the
// text protocol the client speaks. Texts are code page 936 bytes.
#pragma once

#include <string>

#include "sim/sealservice/store.h"

namespace qex::sim {

// A small valid PNG (one grey pixel), the seal image data of the operation
// the client does not call.
extern const char kPlaceholderQrPngBase64[];
// The poll reply while a capture is still open: neither success nor refusal.
extern const char kCaptureWaiting[];

class SealServiceLogic {
public:
    // `publicBase` ("http://host:port") is where phones and browsers reach
    // the simulator's web side: the capture QR codes point there.
    SealServiceLogic(Store& store, std::string publicBase)
        : store_(store), publicBase_(std::move(publicBase)) {}

    // "3@@@@" + hash: login query; "1@@@@HW": open a capture;
    // "2@@@@" + id: poll a capture.
    std::string QueryUkName(const std::string& arg0);
    // hash: login check, "QEXRET:" + seal image URL.
    std::string QueryUkImg(const std::string& arg0);
    // hash, signed text: stored in the seal log.
    std::string AddUkSealLog(const std::string& arg0, const std::string& arg1);
    // "QEX:" + hash: Base64 of time "@@@@" unit "@@@@" seal name.
    std::string QueryUkMsg(const std::string& arg0);
    // The operations the client does not call.
    std::string QueryUkState(const std::string& arg0);
    std::string QueryUkImgData(const std::string& arg0);
    std::string QueryUkCerContent(const std::string& arg0);

private:
    std::string LoginQuery(const std::string& certHash);
    std::string OpenCapture();
    std::string PollCapture(const std::string& id);

    Store& store_;
    std::string publicBase_;
};

// The phone capture page of capture `id` below `publicBase`.
std::string PhoneCaptureUrl(const std::string& publicBase, const std::string& id);
// Where a finished capture's handwriting image is served.
std::string HandwritingImageUrl(const std::string& publicBase, const std::string& id);

}  // namespace qex::sim
