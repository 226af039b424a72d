#include "handwriting/wait_pass.h"

#include "core/ui.h"
#include "handwriting/hw_texts.h"
#include "service/protocol.h"
#include "service/replies.h"

namespace qex::hw {
namespace {

PassOutcome Capture(IWaitHost& host, ISealService& service) {
    host.ShowMainWindow();
    const std::string reply = service.QueryUkNameByCerBase64(protocol::kOpenCapture);
    std::string captureId, qr;
    switch (ParseCaptureOpenReply(reply, &captureId, &qr)) {
    case CaptureOpenResult::kRefused:
        host.StatusReport(text::kRequestRefused);
        return PassOutcome::kRefused;
    case CaptureOpenResult::kDataError:
        host.StatusReport(text::kBadData);
        return PassOutcome::kBadData;
    case CaptureOpenResult::kOpened:
        break;
    }
    std::string url;
    if (host.RunCaptureDialog(captureId, qr, url) == kIdOk) {
        host.AppendStatus(text::kCaptured);
        // The result is stored before the flag is cleared, so the bridge never
        // sees "no request, no result" in between.
        host.SetHWResult(url);
        host.ClearHWRequested();
        host.HideMainWindow();
        return PassOutcome::kCaptured;
    }
    host.StatusReport(text::kGivenUp);
    return PassOutcome::kGivenUp;
}

}  // namespace

PassOutcome RunWaitPass(IWaitHost& host, ISealService& service) {
    if (!host.HWRequested()) return PassOutcome::kIdle;
    if (!host.GetHWResult().empty()) {
        host.ClearHWRequested();
        return PassOutcome::kAlreadyHeld;
    }
    const PassOutcome outcome = Capture(host, service);
    // A request raised while the capture ran is absorbed: the page asks again.
    host.ClearHWRequested();
    return outcome;
}

}  // namespace qex::hw
