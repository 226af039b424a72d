// The logic of the handwriting dialog: show the QR code after the first
// second, poll the capture every five seconds, and finish, refuse or time
// out by the reply. The dialog window forwards its timer ticks here; what
// the dialog shows goes through IQrView, so the logic runs with fakes.
#pragma once

#include <string>

#include "service/seal_service.h"

namespace qex::hw {

inline constexpr int kShowQrTimer = 1;
inline constexpr int kPollTimer = 2;
inline constexpr unsigned kShowQrDelayMs = 1000;
inline constexpr unsigned kPollIntervalMs = 5000;
inline constexpr int kMaxCountedPolls = 1200;

class IQrView {
public:
    virtual ~IQrView() = default;
    virtual void BringToTop() = 0;
    virtual void StopTimer(int id) = 0;
    // Hands a Base64 PNG to the Glyphon control (LookIt).
    virtual void ShowImage(const std::string& base64Png) = 0;
    virtual void EnableContinue() = 0;
    // A message box owned by the dialog, caption "电子签章", exclamation icon.
    virtual void ShowMessage(const std::string& text) = 0;
};

class QrPoll {
public:
    QrPoll(IQrView& view, ISealService& service) : view_(view), service_(service) {}

    void SetCaptureData(const std::string& captureId, const std::string& image) {
        m_strCaptureId = captureId;
        m_strImage = image;
    }
    // The dialog's initialisation (after its timers were started).
    void Init() {
        m_strHWImageURL.clear();
        m_nPollCount = 0;
    }
    void OnTimer(int id);

    // The result: non-empty only after a finished poll.
    const std::string& HWImageURL() const { return m_strHWImageURL; }
    int PollCount() const { return m_nPollCount; }
    const std::string& Image() const { return m_strImage; }

private:
    void Poll();

    IQrView& view_;
    ISealService& service_;
    std::string m_strImage;
    std::string m_strCaptureId;
    int m_nPollCount = 0;
    std::string m_strHWImageURL;
};

}  // namespace qex::hw
