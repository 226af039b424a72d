#include "handwriting/qr_poll.h"

#include "core/text_util.h"
#include "handwriting/hw_texts.h"
#include "service/field.h"
#include "service/protocol.h"

namespace qex::hw {

void QrPoll::OnTimer(int id) {
    view_.BringToTop();
    if (id == kShowQrTimer) {
        view_.StopTimer(kShowQrTimer);
        view_.ShowImage(m_strImage);
        return;
    }
    Poll();
}

void QrPoll::Poll() {
    const std::string reply =
        service_.QueryUkNameByCerBase64(std::string(protocol::kPollCapture) + m_strCaptureId);
    if (Contains(reply, protocol::kRefused)) {
        view_.StopTimer(kPollTimer);
        view_.ShowMessage(text::kRefused);
        return;
    }
    if (StartsWith(reply, protocol::kSuccess)) {
        // A reply with the marker but without both fields is a capture still
        // in progress: it neither finishes nor counts.
        const std::string fields = WithTrailingSeparator(reply);
        m_strHWImageURL = GetField(fields, protocol::kFieldSeparator, protocol::kCaptureImageUrlField);
        m_strImage = GetField(fields, protocol::kFieldSeparator, protocol::kCaptureImageDataField);
        if (!m_strHWImageURL.empty() && !m_strImage.empty()) {
            view_.StopTimer(kPollTimer);
            view_.ShowImage(m_strImage);
            view_.EnableContinue();
        }
        return;
    }
    if (++m_nPollCount >= kMaxCountedPolls) {
        view_.StopTimer(kPollTimer);
        view_.ShowMessage(text::kTimedOut);
    }
}

}  // namespace qex::hw
