#include "handwriting/dialog_qr.h"

#include "core/texts.h"
#include "glyphon/host/ax_host.h"
#include "handwriting/handwriting_ids.h"

namespace {

// The container window class must exist before the template is created; it
// is registered once per process, from whichever thread opens first.
bool EnsureHostClass() {
    static const bool registered = qex::RegisterAxHostClass();
    return registered;
}

}  // namespace

CDialog_QR::CDialog_QR(qex::ISealService& service, HWND parent)
    : qex::fw::Dialog(IDD_DIALOG_QR, parent), m_poll(*this, service) {
    EnsureHostClass();
    BindControl(IDOK, &m_btnContinue);
}

BOOL CDialog_QR::OnInitDialog() {
    qex::fw::Dialog::OnInitDialog();
    m_ctrlGlyphon.Attach(Hwnd(), IDC_GLYPHONCTRL1);
    SetTimer(Hwnd(), qex::hw::kShowQrTimer, qex::hw::kShowQrDelayMs, nullptr);
    SetTimer(Hwnd(), qex::hw::kPollTimer, qex::hw::kPollIntervalMs, nullptr);
    m_strHWImageURL.clear();
    m_poll.Init();
    return TRUE;
}

bool CDialog_QR::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    if (msg == WM_TIMER) {
        m_poll.OnTimer(static_cast<int>(wParam));
        return false;  // the tick still gets the default dialog processing
    }
    return qex::fw::Dialog::OnMessage(msg, wParam, lParam, result);
}

void CDialog_QR::OnOK() {
    // Enter reaches IDOK even while "继续" is disabled: only a finished
    // capture may end the dialog with a result.
    if (!IsWindowEnabled(m_btnContinue)) return;
    m_strHWImageURL = m_poll.HWImageURL();
    qex::fw::Dialog::OnOK();
}

void CDialog_QR::BringToTop() { BringWindowToTop(Hwnd()); }

void CDialog_QR::StopTimer(int id) { KillTimer(Hwnd(), static_cast<UINT_PTR>(id)); }

void CDialog_QR::ShowImage(const std::string& base64Png) { m_ctrlGlyphon.LookIt(base64Png.c_str()); }

void CDialog_QR::EnableContinue() { EnableWindow(m_btnContinue, TRUE); }

void CDialog_QR::ShowMessage(const std::string& text) {
    qex::fw::MessageBoxOwned(Hwnd(), text.c_str(), qex::text::kSealCaption, MB_ICONEXCLAMATION | MB_OK);
}

int qex::hw::RunCaptureDialog(const std::string& captureId, const std::string& qrImage, std::string& url) {
    qex::SoapSealService service(kCaptureTimeouts);
    CDialog_QR dialog(service);
    dialog.SetCaptureData(captureId, qrImage);
    const INT_PTR result = dialog.DoModal();
    if (result == IDOK) url = dialog.m_strHWImageURL;
    return static_cast<int>(result);
}
