#include "app/qextivara_dlg.h"

#include "core/text_util.h"
#include "handwriting/dialog_qr.h"
#include "handwriting/resign.h"
#include "service/soap_calls.h"

#include "app/about_dlg.h"
#include "core/shell_texts.h"
#include "core/texts.h"
#include "core/install_settings.h"
#include "core/startup.h"
#include "dialogs/url_notice_dialog.h"
#include "login/key_watch.h"
#include "core/win/win_platform.h"
#include "framework/application.h"
#include "token/key_count.h"
#include "token/skf_system.h"

namespace {

HINSTANCE AppInstance() {
    qex::fw::Application* app = qex::fw::Application::Current();
    return app ? app->Instance() : GetModuleHandleA(nullptr);
}

// WSACancelBlockingCall belongs to Winsock 1.1; Winsock 2 dropped it and
// may not export it at all, so it is called only where it exists.
void CancelBlockingSocketCall() {
    HMODULE ws = GetModuleHandleA("ws2_32.dll");
    if (!ws) return;
    using CancelFn = int(WINAPI*)();  // WSAAPI
    auto cancel = reinterpret_cast<CancelFn>(reinterpret_cast<void*>(GetProcAddress(ws, "WSACancelBlockingCall")));
    if (cancel) cancel();
}

}  // namespace

CQEXTivaraDlg::CQEXTivaraDlg(HWND parent)
    : Dialog(IDD_QEXTIVARA_DIALOG, parent),
      m_login(qex::LoginParts{*this, qex::SystemSkf(), m_digestModule, m_pinPrompt, m_service, *this}) {
    m_hIcon = LoadIconA(AppInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    BindControl(IDC_LIST_STATUS, &m_listStatus);
    BindControl(IDOK, &m_btnLogin);
    BindText(IDC_EDIT_INFO, &m_strInfo);
    BindControl(IDC_BTN_RESIGN, &m_btnResign);
    BindControl(IDC_STATIC_HELP, &m_stcHelp);
}

CQEXTivaraDlg::~CQEXTivaraDlg() = default;

BOOL CQEXTivaraDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    SetUpSystemMenu();
    // Every flag a worker reads has its start value before the first one runs.
    ResetForStart();
    ReadBridgeGate();
    StartWorkerThreads();
    SetUpHelpLink();
    SetSealImgURL("");

    qex::WinProfileReader profile;
    qex::WinFileSystem fs;
    qex::RunStartupKeyStep(qex::CountUsbKeys(qex::SystemSkf()), *this, *this, profile, fs);
    if (!m_ignoredOrigins.empty()) {
        std::string entries;
        for (const std::string& e : m_ignoredOrigins) entries += (entries.empty() ? "" : " ") + e;
        AppendStatus(qex::text::kOriginsIgnored + entries);
    }

    m_tray.Prepare(AppInstance(), Hwnd());
    return TRUE;
}

void CQEXTivaraDlg::ReadBridgeGate() {
    qex::WinProfileReader profile;
    qex::WinFileSystem fs;
    m_bridgeGate = qex::OriginGate::FromSetting(
        qex::ReadBridgeOrigins(profile, qex::GetInstallConfigPath(fs)), &m_ignoredOrigins);
}

void CQEXTivaraDlg::SetUpSystemMenu() {
    const std::string about = qex::fw::LoadResString(IDS_ABOUTBOX);
    HMENU menu = GetSystemMenu(Hwnd(), FALSE);
    if (menu && !about.empty()) {
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
    SendMessageA(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
}

void CQEXTivaraDlg::StartWorkerThreads() {
    // Each thread gets its back-pointer while it is still suspended.
    m_pWorkThread = qex::fw::BeginThread<CWorkThread>(THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (m_pWorkThread) {
        m_pWorkThread->m_pMainDlg = this;
        ::ResumeThread(m_pWorkThread->Handle());
    }
    m_pRecordHWThread = qex::fw::BeginThread<CRecordHWThread>(THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (m_pRecordHWThread) {
        m_pRecordHWThread->m_pMainDlg = this;
        ::ResumeThread(m_pRecordHWThread->Handle());
    }
}

void CQEXTivaraDlg::SetUpHelpLink() {
    SetWindowLongA(m_stcHelp, GWL_STYLE, GetWindowLongA(m_stcHelp, GWL_STYLE) | SS_NOTIFY);
    SetWindowPos(Hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);

    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageA(m_stcHelp, WM_GETFONT, 0, 0));
    LOGFONTA lf = {};
    if (dialogFont && GetObjectA(dialogFont, sizeof lf, &lf)) {
        lf.lfItalic = TRUE;
        lf.lfUnderline = TRUE;
        m_pHelpFont.Reset(CreateFontIndirectA(&lf));
        if (m_pHelpFont) SendMessageA(m_stcHelp, WM_SETFONT, reinterpret_cast<WPARAM>(m_pHelpFont.Get()), TRUE);
    }
    SetWindowTextA(m_stcHelp, qex::text::kHelpLinkText);
}

void CQEXTivaraDlg::AppendStatus(const std::string& line) {
    SendMessageA(m_listStatus, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(line.c_str()));
}

void CQEXTivaraDlg::SetTrayState(int mode) {
    m_trayIcon.SetTrayState(mode, GetNotice());
}

void CQEXTivaraDlg::StatusReport(const std::string& notice) {
    SetNotice(notice);
    m_trayIcon.SetTrayState(qex::kTrayNotice, notice);
}

int CQEXTivaraDlg::ShowMessage(const std::string& text, const std::string& caption, unsigned type) {
    return qex::fw::MessageBoxOwned(Hwnd(), text.c_str(), caption.c_str(), type);
}

std::string CQEXTivaraDlg::GetTitle() {
    return qex::fw::GetText(Hwnd());
}

void CQEXTivaraDlg::SetTitle(const std::string& title) {
    SetWindowTextA(Hwnd(), title.c_str());
    // "重签" is there exactly while the client is logged in: the title is the
    // login flag, and the command needs a login.
    const bool loggedIn = qex::Contains(title, qex::text::kLoggedInMark);
    ShowWindow(m_btnResign, loggedIn ? SW_SHOW : SW_HIDE);
    EnableWindow(m_btnResign, loggedIn ? TRUE : FALSE);
}

void CQEXTivaraDlg::ShowMainWindow(bool show) {
    ShowWindow(Hwnd(), show ? SW_SHOW : SW_HIDE);
}

void CQEXTivaraDlg::EnableLogin(bool enable) {
    EnableWindow(m_btnLogin, enable ? TRUE : FALSE);
}

void CQEXTivaraDlg::ShowHelpLink(bool show) {
    ShowWindow(m_stcHelp, show ? SW_SHOW : SW_HIDE);
}

bool CQEXTivaraDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    switch (msg) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            CAboutDlg about(Hwnd());
            about.DoModal();
            return true;
        }
        return false;
    case WM_PAINT:
        if (!IsIconic(Hwnd())) return false;
        OnPaintIconic();
        return true;
    case WM_QUERYDRAGICON:
        *result = reinterpret_cast<INT_PTR>(m_hIcon);
        return true;
    case WM_DEVICECHANGE:
        // A burst of notifications while a key is plugged in gives one key
        // check, half a second after the last of them.
        if (wParam == qex::kDeviceNodesChanged)
            SetTimer(Hwnd(), qex::kKeyCheckTimerId, qex::kKeyCheckDelayMs, nullptr);
        return false;
    case WM_TIMER:
        if (wParam != qex::kKeyCheckTimerId) return false;
        OnKeyCheckTimer();
        return true;
    case WM_TRAYNOTIFY:
        if (lParam == WM_LBUTTONDOWN) ShowWindow(Hwnd(), SW_SHOW);
        SetWindowLongPtrA(Hwnd(), DWLP_MSGRESULT, 0);
        return true;
    case WM_CLOSE:
        // The default processing turns the close box into IDCANCEL.
        CancelBlockingSocketCall();
        return false;
    case WM_NCDESTROY:
        // The link's font goes with the window that used it (the exit
        // command ends the dialog; the static still paints until then).
        m_pHelpFont.Reset();
        return false;
    default:
        return false;
    }
}

bool CQEXTivaraDlg::OnCommand(int id, int code, HWND control) {
    if (id == IDC_LIST_STATUS && code == LBN_SELCHANGE) {
        OnStatusSelChange();
        return true;
    }
    if (id == IDC_STATIC_HELP && code == STN_CLICKED) {
        OnHelpLink();
        return true;
    }
    if (id == IDC_BTN_RESIGN && code == BN_CLICKED) {
        OnResign();
        return true;
    }
    return Dialog::OnCommand(id, code, control);
}

void CQEXTivaraDlg::OnStatusSelChange() {
    const LRESULT index = SendMessageA(m_listStatus, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) return;
    const LRESULT len = SendMessageA(m_listStatus, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (len == LB_ERR) return;
    std::string text(static_cast<std::size_t>(len) + 1, '\0');
    const LRESULT got = SendMessageA(m_listStatus, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    m_strInfo = text;
    UpdateData(false);
}

void CQEXTivaraDlg::OnPaintIconic() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Hwnd(), &ps);
    SendMessageA(Hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
    RECT rc;
    GetClientRect(Hwnd(), &rc);
    DrawIcon(dc, (rc.right - rc.left - cx + 1) / 2, (rc.bottom - rc.top - cy + 1) / 2, m_hIcon);
    EndPaint(Hwnd(), &ps);
}

// Enter and "登录" bring the login command here; the dialog never ends on it.
void CQEXTivaraDlg::OnOK() {
    qex::RunLoginCommand(qex::LoginCommandParts{
        *this, *this, *this, m_service,
        [this](const std::string& text, const std::function<void()>& whenStarted) {
            return LoginAndSign(text, nullptr, whenStarted);
        },
        [](const std::string& reply) { qex::AppendSealLog(reply); }});
}

void CQEXTivaraDlg::OnKeyCheckTimer() {
    KillTimer(Hwnd(), qex::kKeyCheckTimerId);
    qex::WinProfileReader profile;
    qex::WinFileSystem fs;
    qex::RunKeyCheck(qex::CountUsbKeys(qex::SystemSkf()), qex::KeyWatchParts{*this, *this, m_shellOpen, profile, fs});
}

void CQEXTivaraDlg::OnHelpLink() {
    const std::string help = GetHelpURL();
    if (!help.empty()) LaunchBrowser(help);
}

std::string CQEXTivaraDlg::LoginAndSign(std::string text, qex::ISealService* service,
                                        const std::function<void()>& whenStarted) {
    const bool onMainThread = GetWindowThreadProcessId(Hwnd(), nullptr) == GetCurrentThreadId();
    return m_login.LoginAndSign(std::move(text),
                                onMainThread ? qex::RunPolicy::kFailIfBusy : qex::RunPolicy::kWaitIfBusy, service,
                                whenStarted);
}

bool CQEXTivaraDlg::LaunchBrowser(const std::string& url) {
    return WinLaunchBrowser(url);
}

void CQEXTivaraDlg::ResetStatusList() {
    SendMessageA(m_listStatus, LB_RESETCONTENT, 0, 0);
}

void CQEXTivaraDlg::ShowInfo(const std::string& text) {
    m_strInfo = text;
    UpdateData(false);
}

void CQEXTivaraDlg::ShowUrlNotice(const std::string& caption, const std::string& url) {
    CDialog_MsgBox notice;
    notice.m_strCaption = caption;
    notice.m_strURL = url;
    notice.DoModal();
}

// The exit command: "退出", Esc and the close box.
void CQEXTivaraDlg::OnCancel() {
    SetRunning(false);
    m_trayIcon.Remove();
    EndDialog(IDCANCEL);
}

void CQEXTivaraDlg::OnResign() {
    qex::SoapSealService service(qex::hw::kCaptureTimeouts);
    qex::hw::RunResign(*this, service);
}

void CQEXTivaraDlg::ShowMainWindow() {
    ShowMainWindow(true);
    SetForegroundWindow(Hwnd());
}

int CQEXTivaraDlg::RunCaptureDialog(const std::string& captureId, const std::string& qrImage, std::string& url) {
    return qex::hw::RunCaptureDialog(captureId, qrImage, url);
}
