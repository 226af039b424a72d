// One pass of the handwriting wait thread: when the bridge has asked for a
// handwritten signature and none is held, open a capture at the service and
// run the handwriting dialog. The thread calls RunWaitPass once a second.
#pragma once

#include <string>

#include "core/ui.h"
#include "service/seal_service.h"

namespace qex::hw {

inline constexpr unsigned kWaitPassIntervalMs = 1000;

class IWaitHost : public IStatusSink {
public:
    // m_bHWRequested, raised by the bridge.
    virtual bool HWRequested() = 0;
    virtual void ClearHWRequested() = 0;
    virtual std::string GetHWResult() = 0;
    virtual void SetHWResult(const std::string& url) = 0;
    // Shows the main window and brings it to the foreground.
    virtual void ShowMainWindow() = 0;
    virtual void HideMainWindow() = 0;
    // The tray's third mode: m_strNotice = text, icon removed, line
    // appended, icon added again.
    virtual void StatusReport(const std::string& text) = 0;
    // Runs the handwriting dialog modally on this thread; returns its result
    // (IDOK with `url` set when a capture was confirmed).
    virtual int RunCaptureDialog(const std::string& captureId, const std::string& qrImage, std::string& url) = 0;
};

enum class PassOutcome { kIdle, kAlreadyHeld, kRefused, kBadData, kCaptured, kGivenUp };

PassOutcome RunWaitPass(IWaitHost& host, ISealService& service);

}  // namespace qex::hw
