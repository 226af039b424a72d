// The main dialog run modally in this process, with the client's own
// resources; a helper thread plays the other threads and the shell.
#include "app/qextivara_dlg.h"
#include "core/shell_texts.h"

#include "core/win/win32.h"

#include <gtest/gtest.h>

#include <cstddef>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr UINT kRunScript = WM_APP + 7;

std::string ListLine(HWND list, int i) {
    const LRESULT len = SendMessageA(list, LB_GETTEXTLEN, i, 0);
    std::string s(static_cast<std::size_t>(len > 0 ? len : 0) + 1, '\0');
    const LRESULT got = SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&s[0]));
    s.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return s;
}

std::vector<std::string> Lines(HWND list) {
    std::vector<std::string> out;
    const int n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) out.push_back(ListLine(list, i));
    return out;
}

// Runs `script` on the dialog's own thread once the dialog is up.
class ScriptedMainDlg : public CQEXTivaraDlg {
public:
    std::function<void(ScriptedMainDlg&)> script;
    std::vector<std::string> linesAtInit;

protected:
    BOOL OnInitDialog() override {
        const BOOL r = CQEXTivaraDlg::OnInitDialog();
        linesAtInit = Lines(m_listStatus);
        PostMessageA(Hwnd(), kRunScript, 0, 0);
        return r;
    }
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR* result) override {
        if (msg == kRunScript) {
            if (script) script(*this);
            return true;
        }
        return CQEXTivaraDlg::OnMessage(msg, wParam, lParam, result);
    }
};

class MainDlg : public ::testing::Test {
protected:
    void SetUp() override {
        // An empty key store: no key is connected.
        char base[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, base);
        char name[MAX_PATH] = {};
        GetTempFileNameA(base, "qkr", 0, name);
        DeleteFileA(name);
        CreateDirectoryA(name, nullptr);
        keyRoot = name;
        SetEnvironmentVariableA("QEX_SKF_ROOT", keyRoot.c_str());
    }
    void TearDown() override { RemoveDirectoryA(keyRoot.c_str()); }

    // Ends a finished test run: the worker threads stop once the keep-running
    // flag is cleared, and must be gone before the dialog object is.
    static void ExpectWorkersStop(CQEXTivaraDlg& dlg) {
        ASSERT_NE(nullptr, dlg.m_pWorkThread);
        ASSERT_NE(nullptr, dlg.m_pRecordHWThread);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(dlg.m_pWorkThread->Handle(), 30000));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(dlg.m_pRecordHWThread->Handle(), 30000));
    }
    std::string keyRoot;
};

TEST_F(MainDlg, StartsWithOneStatusLineAndTheWindowSetUp) {
    ScriptedMainDlg dlg;
    std::string title, helpText;
    LONG exStyle = 0, helpStyle = 0;
    LOGFONTA helpFont = {};
    bool helpVisible = true;
    std::string aboutItem;
    UINT aboutId = 0, separatorState = 0;
    dlg.script = [&](ScriptedMainDlg& d) {
        title = d.GetTitle();
        exStyle = GetWindowLongA(d.Hwnd(), GWL_EXSTYLE);
        helpStyle = GetWindowLongA(d.m_stcHelp, GWL_STYLE);
        helpVisible = IsWindowVisible(d.m_stcHelp) != FALSE;
        helpText = qex::fw::GetText(d.m_stcHelp);
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(d.m_stcHelp, WM_GETFONT, 0, 0)), sizeof helpFont, &helpFont);
        HMENU menu = GetSystemMenu(d.Hwnd(), FALSE);
        const int n = GetMenuItemCount(menu);
        char text[128] = {};
        GetMenuStringA(menu, n - 1, text, sizeof text, MF_BYPOSITION);
        aboutItem = text;
        aboutId = GetMenuItemID(menu, n - 1);
        separatorState = GetMenuState(menu, n - 2, MF_BYPOSITION);
        PostMessageA(d.Hwnd(), WM_COMMAND, IDCANCEL, 0);
    };
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ(std::vector<std::string>{qex::text::kNoKey}, dlg.linesAtInit);
    EXPECT_EQ("\xb0\xe6\xb1\xbe\xa3\xbaV1.8    \xb5\xb1\xc7\xb0\xd7\xb4\xcc\xac\xa3\xba\xce\xb4\xb5\xc7\xc2\xbc", title);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);
    EXPECT_TRUE(helpStyle & SS_NOTIFY);
    EXPECT_FALSE(helpVisible);  // no key: no settings read, no help link
    EXPECT_EQ(qex::text::kHelpLinkText, helpText);
    EXPECT_TRUE(helpFont.lfItalic);
    EXPECT_TRUE(helpFont.lfUnderline);
    EXPECT_EQ("\xb9\xd8\xd3\xda QEXTivara(&A)...", aboutItem);
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUTBOX), aboutId);
    EXPECT_TRUE(separatorState & MF_SEPARATOR);
    EXPECT_EQ("", dlg.GetWebsiteURL());
    EXPECT_FALSE(dlg.IsRunning());
    ExpectWorkersStop(dlg);
}

TEST_F(MainDlg, StatusLinesFromOtherThreadsArriveInOrderAndShowInTheInfoBox) {
    ScriptedMainDlg dlg;
    std::vector<std::string> lines;
    std::string info;
    dlg.script = [&](ScriptedMainDlg& d) {
        // The sends wait for this thread, so the worker runs while the
        // dialog keeps pumping its messages.
        std::thread worker([&d] {
            for (int i = 0; i < 20; ++i) d.AppendStatus("line " + std::to_string(i));
        });
        worker.detach();
    };
    // Another thread waits for all lines, selects the last, then closes.
    std::thread watcher([&] {
        for (int i = 0; i < 3000 && static_cast<int>(SendMessageA(dlg.m_listStatus, LB_GETCOUNT, 0, 0)) < 21; ++i) Sleep(10);
        SendMessageA(dlg.m_listStatus, LB_SETCURSEL, 20, 0);
        SendMessageA(dlg.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_LIST_STATUS, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(dlg.m_listStatus));
        lines = Lines(dlg.m_listStatus);
        char buf[256] = {};
        SendMessageA(GetDlgItem(dlg.Hwnd(), IDC_EDIT_INFO), WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
        info = buf;
        PostMessageA(dlg.Hwnd(), WM_CLOSE, 0, 0);  // the close box ends the client too
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    watcher.join();
    ASSERT_EQ(21u, lines.size());
    for (int i = 0; i < 20; ++i) EXPECT_EQ("line " + std::to_string(i), lines[i + 1]);
    EXPECT_EQ("line 19", info);
    EXPECT_EQ("line 19", dlg.m_strInfo);
    ExpectWorkersStop(dlg);
}

TEST_F(MainDlg, TrayModesAndTheLeftClickCallback) {
    ScriptedMainDlg dlg;
    std::vector<UINT> ids;
    std::vector<std::string> tips;
    bool visibleAfterRightClick = true, visibleAfterLeftClick = false;
    std::vector<std::string> lines;
    dlg.script = [&](ScriptedMainDlg& d) {
        d.SetTrayState(qex::kTrayLoggedOut);
        ids.push_back(d.TrayData().uID);
        tips.push_back(d.TrayData().szTip);
        d.SetTrayState(qex::kTrayLoggedIn);
        ids.push_back(d.TrayData().uID);
        tips.push_back(d.TrayData().szTip);
        d.SetNotice("a notice");
        d.SetTrayState(qex::kTrayNotice);
        ids.push_back(d.TrayData().uID);
        d.StatusReport("a report");
        ids.push_back(d.TrayData().uID);
        lines = Lines(d.m_listStatus);

        d.ShowMainWindow(false);
        SendMessageA(d.Hwnd(), WM_TRAYNOTIFY, d.TrayData().uID, WM_RBUTTONDOWN);
        visibleAfterRightClick = IsWindowVisible(d.Hwnd()) != FALSE;
        SendMessageA(d.Hwnd(), WM_TRAYNOTIFY, d.TrayData().uID, WM_LBUTTONDOWN);
        visibleAfterLeftClick = IsWindowVisible(d.Hwnd()) != FALSE;
        PostMessageA(d.Hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    };
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ((std::vector<UINT>{134u, 135u, 135u, 135u}), ids);
    EXPECT_EQ(qex::text::kTrayTipLoggedOut, tips[0]);
    EXPECT_EQ(qex::text::kTrayTipLoggedIn, tips[1]);
    EXPECT_EQ((std::vector<std::string>{qex::text::kNoKey, "a notice", "a report"}), lines);
    EXPECT_EQ("a report", dlg.GetNotice());
    EXPECT_FALSE(visibleAfterRightClick);
    EXPECT_TRUE(visibleAfterLeftClick);
    // The record the shell gets is the version 3 layout, up to its item GUID.
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, guidItem) + sizeof(GUID), dlg.TrayData().cbSize);
    EXPECT_EQ(WM_TRAYNOTIFY, dlg.TrayData().uCallbackMessage);
    ExpectWorkersStop(dlg);
}

TEST_F(MainDlg, EnterDoesNotEndTheClient) {
    ScriptedMainDlg dlg;
    bool aliveAfterEnter = false;
    bool hiddenAfterEnter = false;
    dlg.script = [&](ScriptedMainDlg& d) {
        // Logged in, Enter (the login command) only hides the window; without
        // a key it would stop at the key's message box.
        d.SetTitle(qex::text::kTitleLoggedIn);
        SendMessageA(d.Hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        aliveAfterEnter = IsWindow(d.Hwnd()) && d.IsRunning();
        hiddenAfterEnter = !IsWindowVisible(d.Hwnd());
        PostMessageA(d.Hwnd(), WM_COMMAND, IDCANCEL, 0);
    };
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_TRUE(aliveAfterEnter);
    EXPECT_TRUE(hiddenAfterEnter);
    ExpectWorkersStop(dlg);
}

}  // namespace
