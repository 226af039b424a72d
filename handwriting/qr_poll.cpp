#include "handwriting/qr_poll.h"

#include "handwriting/hw_texts.h"
#include "service/protocol.h"
#include "service/replies.h"

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
    switch (ParseCapturePollReply(reply, &m_strHWImageURL, &m_strImage)) {
    case CapturePollResult::kRefused:
        view_.StopTimer(kPollTimer);
        view_.ShowMessage(text::kRefused);
        return;
    case CapturePollResult::kFinished:
        view_.StopTimer(kPollTimer);
        view_.ShowImage(m_strImage);
        view_.EnableContinue();
        return;
    case CapturePollResult::kPending:
        // The marker without both fields: a capture still in progress, which
        // neither finishes nor counts.
        return;
    case CapturePollResult::kPendingCounted:
        if (++m_nPollCount >= kMaxCountedPolls) {
            view_.StopTimer(kPollTimer);
            view_.ShowMessage(text::kTimedOut);
        }
        return;
    }
}

}  // namespace qex::hw
