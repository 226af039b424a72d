#include "handwriting/wait_pass.h"

#include "core/text_util.h"
#include "core/ui.h"
#include "handwriting/hw_texts.h"
#include "service/field.h"
#include "service/protocol.h"

namespace qex::hw {
namespace {

PassOutcome Capture(IWaitHost& host, ISealService& service) {
    host.ShowMainWindow();
    const std::string reply = service.QueryUkNameByCerBase64(protocol::kOpenCapture);
    if (Contains(reply, protocol::kRefused)) {
        host.StatusReport(text::kRequestRefused);
        return PassOutcome::kRefused;
    }
    if (!StartsWith(reply, protocol::kSuccess)) {
        host.StatusReport(text::kBadData);
        return PassOutcome::kBadData;
    }
    const std::string fields = WithTrailingSeparator(reply);
    const std::string captureId = GetField(fields, protocol::kFieldSeparator, protocol::kCaptureIdField);
    const std::string qr = GetField(fields, protocol::kFieldSeparator, protocol::kCaptureQrField);
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
