// The re-sign command of the main window ("重签"): asks the service for a
// handwriting capture, runs the handwriting dialog on the main thread and
// keeps the captured handwriting for the bridge's next sign reply.
#pragma once

#include <string>

#include "core/ui.h"
#include "service/seal_service.h"

namespace qex::hw {

class IResignHost : public IStatusSink {
public:
    // The login flag of the main window is its title.
    virtual std::string GetTitle() = 0;
    virtual void SetHWResult(const std::string& url) = 0;
    // Runs the handwriting dialog modally; IDOK with `url` set on success.
    virtual int RunCaptureDialog(const std::string& captureId, const std::string& qrImage, std::string& url) = 0;
};

enum class ResignOutcome { kNotLoggedIn, kRefused, kBadData, kCaptured, kFailed };

ResignOutcome RunResign(IResignHost& host, ISealService& service);

}  // namespace qex::hw
