#include "handwriting/resign.h"

#include "core/shell_texts.h"
#include "core/text_util.h"
#include "handwriting/hw_texts.h"
#include "service/protocol.h"
#include "service/replies.h"

namespace qex::hw {

ResignOutcome RunResign(IResignHost& host, ISealService& service) {
    if (!Contains(host.GetTitle(), qex::text::kLoggedInMark)) {
        host.AppendStatus(text::kLoginFirst);
        return ResignOutcome::kNotLoggedIn;
    }
    const std::string reply = service.QueryUkNameByCerBase64(protocol::kOpenCapture);
    std::string captureId, qr;
    switch (ParseCaptureOpenReply(reply, &captureId, &qr)) {
    case CaptureOpenResult::kRefused:  // tested first: a reply may carry both markers
        host.AppendStatus(text::kResignRefused);
        return ResignOutcome::kRefused;
    case CaptureOpenResult::kDataError:
        host.AppendStatus(text::kResignBadData);
        return ResignOutcome::kBadData;
    case CaptureOpenResult::kOpened:
        break;
    }
    std::string url;
    const int result = host.RunCaptureDialog(captureId, qr, url);
    if (result == kIdOk) {
        host.SetHWResult(url);
        return ResignOutcome::kCaptured;
    }
    host.AppendStatus(text::kResignFailed);
    return ResignOutcome::kFailed;
}

}  // namespace qex::hw
