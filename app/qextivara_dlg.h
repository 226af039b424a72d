// The main window and, through qex::MainState, the state the whole client
// shares. Other threads use it through the operations below; they never
// touch its controls directly except by sending the status list its
// LB_INSERTSTRING.
#pragma once

#include "app/pin_prompt.h"
#include "app/resource.h"
#include "app/win_browser.h"
#include "app/win_tray.h"
#include "app/worker_threads.h"
#include "core/main_state.h"
#include "core/origin_gate.h"
#include "core/tray_state.h"
#include "core/ui.h"
#include "core/win/owners.h"
#include "handwriting/resign.h"
#include "handwriting/wait_pass.h"
#include "framework/dialog.h"
#include "login/login_command.h"
#include "login/seal_login.h"
#include "login/win_digest_module.h"
#include "service/soap_calls.h"

#include <functional>
#include <string>
#include <vector>

class CQEXTivaraDlg : public qex::fw::Dialog,
                      public qex::MainState,
                      public qex::IMainWindow,
                      public qex::ILoginCommandWindow,
                      public qex::hw::IResignHost,
                      public qex::hw::IWaitHost {
public:
    explicit CQEXTivaraDlg(HWND parent = nullptr);
    ~CQEXTivaraDlg() override;

    // Appends `line` as the last line of the status list: one synchronous
    // LB_INSERTSTRING send, so a caller on another thread waits for the
    // main thread.
    void AppendStatus(const std::string& line) override;
    // Re-registers the tray icon: 1 logged in, 0 not logged in, any other
    // value appends GetNotice() to the status list with the icon unchanged.
    void SetTrayState(int mode) override;
    // A status report of a worker thread: stores `notice` as m_strNotice and
    // appends exactly that text in SetTrayState's notice mode, even when
    // another thread stores a notice of its own meanwhile.
    void StatusReport(const std::string& notice) override;

    // The handwriting capture as the wait thread and the re-sign command
    // run it (the dialog is the state both work on).
    bool HWRequested() override { return IsHWRequested(); }
    void ClearHWRequested() override { SetHWRequested(false); }
    std::string GetHWResult() override { return MainState::GetHWResult(); }
    void SetHWResult(const std::string& url) override { MainState::SetHWResult(url); }
    // The wait thread's: shown and brought to the foreground; hidden.
    void ShowMainWindow() override;
    void HideMainWindow() override { ShowMainWindow(false); }
    int RunCaptureDialog(const std::string& captureId, const std::string& qrImage, std::string& url) override;

    int ShowMessage(const std::string& text, const std::string& caption, unsigned type) override;
    std::string GetTitle() override;
    void SetTitle(const std::string& title) override;
    using qex::hw::IWaitHost::ShowMainWindow;
    void ShowMainWindow(bool show) override;
    void EnableLogin(bool enable) override;
    void ShowHelpLink(bool show) override;

    // The login procedure, on the main thread or the bridge thread: the
    // Base64 signature of `text`'s digest, empty on failure. A run on the
    // main thread never waits for one on the bridge thread (that one may be
    // waiting for the main thread); it gives up with a status line instead.
    // service, whenStarted: see SealLogin::LoginAndSign (the dialog's own
    // service when null).
    std::string LoginAndSign(std::string text, qex::ISealService* service = nullptr,
                             const std::function<void()>& whenStarted = {});
    // The login command's view of the window.
    void ResetStatusList() override;
    void ShowInfo(const std::string& text) override;
    // Starts the browser with `url`; true when a browser process started.
    bool LaunchBrowser(const std::string& url) override;
    void ShowUrlNotice(const std::string& caption, const std::string& url) override;

    // The status list's window, for threads that send it lines themselves.
    HWND StatusList() const { return m_listStatus; }
    const NOTIFYICONDATAA& TrayData() const { return m_tray.Data(); }

    HICON m_hIcon = nullptr;
    HWND m_listStatus = nullptr;
    CWorkThread* m_pWorkThread = nullptr;
    CRecordHWThread* m_pRecordHWThread = nullptr;
    qex::win::UniqueFont m_pHelpFont;
    HWND m_btnLogin = nullptr;
    std::string m_strInfo;
    HWND m_btnResign = nullptr;
    HWND m_stcHelp = nullptr;

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;
    void OnCancel() override;

private:
    void SetUpSystemMenu();
    void StartWorkerThreads();
    void SetUpHelpLink();
    void OnStatusSelChange();
    void OnPaintIconic();
    void OnKeyCheckTimer();
    void OnHelpLink();
    void OnResign();

    WinTray m_tray;
    // (The status list is reached through IMainWindow: the dialog is a
    // status sink for several of its interfaces.)
    qex::TrayIcon m_trayIcon{m_tray, static_cast<qex::IMainWindow&>(*this)};

    qex::WinDigestModule m_digestModule;
    WinPinPrompt m_pinPrompt;
    // The login command's calls (and those of its login run) are bounded
    // like a sign request's: a service that takes the connection and never
    // answers must not freeze the window for good.
    qex::SoapSealService m_service{qex::kAnsweredCallTimeouts, static_cast<qex::IMainWindow*>(this)};
    qex::SealLogin m_login;
    WinShellOpen m_shellOpen;

public:
    // The pages that may seal, read once at start-up before the bridge
    // thread runs and never changed after: the bridge reads it unlocked.
    const qex::OriginGate& BridgeGate() const { return m_bridgeGate; }

private:
    void ReadBridgeGate();
    qex::OriginGate m_bridgeGate;
    std::vector<std::string> m_ignoredOrigins;
};
