#include "handwriting/resign.h"

#include "core/shell_texts.h"
#include "core/text_util.h"
#include "handwriting/hw_texts.h"
#include "service/field.h"
#include "service/protocol.h"

namespace qex::hw {

ResignOutcome RunResign(IResignHost& host, ISealService& service) {
    if (!Contains(host.GetTitle(), qex::text::kLoggedInMark)) {
        host.AppendStatus(text::kLoginFirst);
        return ResignOutcome::kNotLoggedIn;
    }
    const std::string reply = service.QueryUkNameByCerBase64(protocol::kOpenCapture);
    // The refusal test comes first: a reply may carry both markers.
    if (Contains(reply, protocol::kRefused)) {
        host.AppendStatus(text::kResignRefused);
        return ResignOutcome::kRefused;
    }
    if (!StartsWith(reply, protocol::kSuccess)) {
        host.AppendStatus(text::kResignBadData);
        return ResignOutcome::kBadData;
    }
    const std::string fields = WithTrailingSeparator(reply);
    std::string url;
    const int result = host.RunCaptureDialog(GetField(fields, protocol::kFieldSeparator, protocol::kCaptureIdField),
                                             GetField(fields, protocol::kFieldSeparator, protocol::kCaptureQrField), url);
    if (result == kIdOk) {
        host.SetHWResult(url);
        return ResignOutcome::kCaptured;
    }
    host.AppendStatus(text::kResignFailed);
    return ResignOutcome::kFailed;
}

}  // namespace qex::hw
