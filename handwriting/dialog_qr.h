// CDialog_QR: the handwriting dialog. Shows the capture's QR code in the
// Glyphon control, polls the service every five seconds and, once the
// handwriting is stored, shows it and lets the user confirm it with "继续".
// The logic is QrPoll; this class is the window around it. It runs on the
// thread of its opener (the wait thread or the main thread); the control
// host initialises COM for that thread.
#pragma once

#include "core/win/win32.h"

#include <memory>
#include <string>

#include "framework/dialog.h"
#include "glyphon/host/glyphon_ctrl1.h"
#include "handwriting/qr_poll.h"
#include "service/seal_service.h"
#include "service/soap_calls.h"

class CDialog_QR;

namespace qex::hw {
// Bounds of the capture's service calls (request and polls): a hung service
// must not freeze the thread that runs the dialog, a slow one still answers.
inline const CallTimeouts kCaptureTimeouts{10, 30, 30};

// Runs a handwriting dialog for one capture on the calling thread, polling
// through its own service proxy (bounded calls: the polls block this
// thread). Returns the dialog's result; on IDOK `url` is the handwriting
// image URL.
int RunCaptureDialog(const std::string& captureId, const std::string& qrImage, std::string& url);
}  // namespace qex::hw

class CDialog_QR : public qex::fw::Dialog, private qex::hw::IQrView {
public:
    // `service` answers the polls; it must outlive the dialog.
    explicit CDialog_QR(qex::ISealService& service, HWND parent = nullptr);

    void SetCaptureData(const std::string& captureId, const std::string& image) {
        m_poll.SetCaptureData(captureId, image);
    }

    // The result after DoModal returned IDOK: the handwriting image URL.
    std::string m_strHWImageURL;

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
    void OnOK() override;

private:
    void BringToTop() override;
    void StopTimer(int id) override;
    void ShowImage(const std::string& base64Png) override;
    void EnableContinue() override;
    void ShowMessage(const std::string& text) override;

    qex::hw::QrPoll m_poll;
    CGlyphonctrl1 m_ctrlGlyphon;
    HWND m_btnContinue = nullptr;
};
