#include "core/win/win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "dialogs/dialog_ids.h"
#include "dialogs/dialog_texts.h"
#include "dialogs/pin_dialog.h"
#include "dialogs/url_notice_dialog.h"

namespace {

using namespace std::chrono_literals;
constexpr auto kCeiling = 10s;

// Polls `ready` until it holds or the ceiling passes.
bool WaitFor(const std::function<bool()>& ready) {
    const auto end = std::chrono::steady_clock::now() + kCeiling;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

std::string ClassOf(HWND w) {
    char name[64] = {};
    GetClassNameA(w, name, sizeof(name));
    return name;
}

std::string TextOf(HWND w) {
    char text[1024] = {};
    GetWindowTextA(w, text, sizeof(text));
    return text;
}

struct Search {
    HWND except, found;
};

BOOL CALLBACK MatchDialog(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<Search*>(p);
    if (w != s->except && IsWindowVisible(w) && ClassOf(w) == "#32770") {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

// The visible dialog box of `thread` other than `except` (a message box
// opened by a dialog is the second one).
HWND FindDialog(DWORD thread, HWND except = nullptr) {
    Search search{except, nullptr};
    EnumThreadWindows(thread, MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForDialog(DWORD thread, HWND except = nullptr) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindDialog(thread, except)) != nullptr; });
    return found;
}

// Runs a dialog modally on a thread of its own, as the bridge thread does.
template <class D>
class DialogRun {
public:
    explicit DialogRun(D& dialog) {
        std::promise<DWORD> started;
        auto id = started.get_future();
        m_thread = std::thread([this, &dialog, &started] {
            started.set_value(GetCurrentThreadId());
            m_result = dialog.DoModal();
        });
        m_threadId = id.get();
        m_window = WaitForDialog(m_threadId);
    }
    // A failed test may leave a message box of the dialog open: answer it
    // first, or the dialog cannot close.
    ~DialogRun() {
        if (!m_thread.joinable()) return;
        WaitFor([&] {
            if (HWND box = FindDialog(m_threadId, m_window))
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            else if (IsWindow(m_window))
                PostMessageA(m_window, WM_CLOSE, 0, 0);
            return m_window == nullptr || !IsWindow(m_window);
        });
        m_thread.join();
    }
    HWND Window() const { return m_window; }
    DWORD ThreadId() const { return m_threadId; }
    // Waits for the dialog to end; -99 when it does not.
    INT_PTR Result() {
        if (!WaitFor([&] { return !IsWindow(m_window); })) return -99;
        m_thread.join();
        return m_result;
    }

private:
    std::thread m_thread;
    DWORD m_threadId = 0;
    HWND m_window = nullptr;
    INT_PTR m_result = -98;
};

void Type(HWND edit, const std::string& text) {
    for (unsigned char c : text) PostMessageA(edit, WM_CHAR, c, 1);
}
void Key(HWND target, WPARAM vk) {
    PostMessageA(target, WM_KEYDOWN, vk, 1);
    PostMessageA(target, WM_KEYUP, vk, 0xC0000001);
}
void Click(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

HWND Focus(DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// A message box of the dialog: its text, caption and the OK press.
struct Box {
    HWND window = nullptr;
    std::string text, caption;
};
Box WaitForBox(DWORD thread, HWND dialog) {
    Box box;
    box.window = WaitForDialog(thread, dialog);
    if (box.window) {
        box.text = TextOf(GetDlgItem(box.window, 0xFFFF));
        box.caption = TextOf(box.window);
        EXPECT_EQ(GetWindow(box.window, GW_OWNER), dialog);
        PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        WaitFor([&] { return !IsWindow(box.window); });
    }
    return box;
}

// ---- PIN dialog ----------------------------------------------------------

TEST(PinDialog, OpensInFrontWithTheFocusInTheEmptyMaskedBox) {
    CDialog_Pin dlg;
    DialogRun<CDialog_Pin> run(dlg);
    ASSERT_NE(run.Window(), nullptr);
    const HWND edit = GetDlgItem(run.Window(), IDC_PIN_EDIT);
    EXPECT_EQ(TextOf(run.Window()), "请输入USBKEY的认证码：");
    EXPECT_TRUE(GetWindowLongA(run.Window(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetForegroundWindow(), run.Window());
    EXPECT_EQ(Focus(run.ThreadId()), edit);
    EXPECT_TRUE(GetWindowLongA(edit, GWL_STYLE) & ES_PASSWORD);
    EXPECT_NE(SendMessageA(edit, EM_GETPASSWORDCHAR, 0, 0), 0);
    EXPECT_EQ(TextOf(edit), "");

    Type(edit, "123456");
    Key(edit, VK_RETURN);
    EXPECT_EQ(run.Result(), IDOK);
    EXPECT_EQ(dlg.m_strPin, "123456");
}

TEST(PinDialog, ShortPinIsRefusedAndKeptForCorrection) {
    CDialog_Pin dlg;
    DialogRun<CDialog_Pin> run(dlg);
    const HWND edit = GetDlgItem(run.Window(), IDC_PIN_EDIT);
    Type(edit, "12345");
    Click(run.Window(), IDOK);
    const Box box = WaitForBox(run.ThreadId(), run.Window());
    EXPECT_EQ(box.text, qex::text::kPinTooShort);
    EXPECT_EQ(box.caption, "");
    ASSERT_TRUE(IsWindow(run.Window()));
    EXPECT_EQ(TextOf(edit), "12345");

    // An empty entry is refused the same way.
    SetWindowTextA(edit, "");
    Key(edit, VK_RETURN);
    EXPECT_EQ(WaitForBox(run.ThreadId(), run.Window()).text, qex::text::kPinTooShort);

    SetWindowTextA(edit, "12345");
    PostMessageA(edit, EM_SETSEL, 5, 5);  // the caret after the text, where the user types
    Type(edit, "6");
    Click(run.Window(), IDOK);
    EXPECT_EQ(run.Result(), IDOK);
    EXPECT_EQ(dlg.m_strPin, "123456");
}

TEST(PinDialog, LengthCountsBytesSoThreeChineseCharactersAreEnough) {
    CDialog_Pin dlg;
    DialogRun<CDialog_Pin> run(dlg);
    SetWindowTextA(GetDlgItem(run.Window(), IDC_PIN_EDIT), "认证码");
    Click(run.Window(), IDOK);
    EXPECT_EQ(run.Result(), IDOK);
    EXPECT_EQ(dlg.m_strPin, "认证码");
    EXPECT_EQ(dlg.m_strPin.size(), 6u);
}

TEST(PinDialog, CancelButtonEscAndCloseBoxEndWithCancel) {
    for (const char* how : {"button", "esc", "close"}) {
        CDialog_Pin dlg;
        DialogRun<CDialog_Pin> run(dlg);
        const HWND edit = GetDlgItem(run.Window(), IDC_PIN_EDIT);
        Type(edit, "12345678");
        if (std::string(how) == "button") Click(run.Window(), IDCANCEL);
        if (std::string(how) == "esc") Key(edit, VK_ESCAPE);
        if (std::string(how) == "close") PostMessageA(run.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(run.Result(), IDCANCEL) << how;
    }
}

// ---- URL notice dialog ---------------------------------------------------

const std::string kUrl = "http://127.0.0.1:8080/qexseal/web/index.jsp?token=abc def";

std::string ClipboardText() {
    std::string text = "<closed>";
    if (!OpenClipboard(nullptr)) return text;
    text = "<none>";
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(GlobalLock(data))) {
            text = p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void PutOnClipboard(const std::string& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    SetClipboardData(CF_TEXT, block);
    CloseClipboard();
}

TEST(UrlNotice, ShowsTheCallersCaptionAndTheAddressReadOnlyFromItsStart) {
    CDialog_MsgBox dlg;
    dlg.m_strCaption = "提示：若未能自动打开电子签章网页";
    dlg.m_strURL = kUrl + std::string(200, 'x');
    DialogRun<CDialog_MsgBox> run(dlg);
    ASSERT_NE(run.Window(), nullptr);
    const HWND edit = GetDlgItem(run.Window(), IDC_URL_EDIT);
    EXPECT_EQ(TextOf(run.Window()), dlg.m_strCaption);
    EXPECT_EQ(TextOf(edit), dlg.m_strURL);
    EXPECT_TRUE(GetWindowLongA(edit, GWL_STYLE) & ES_READONLY);
    // A single-line box answers with its first visible character.
    EXPECT_TRUE(WaitFor([&] {
        DWORD start = 1, end = 1;
        SendMessageA(edit, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
        return start == 0 && end == 0;
    }));
    EXPECT_EQ(SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    Click(run.Window(), IDOK);
    EXPECT_EQ(run.Result(), IDOK);
}

TEST(UrlNotice, WithoutCallerValuesTheTitleIsEmptyAndThePlaceholderShows) {
    CDialog_MsgBox dlg;
    DialogRun<CDialog_MsgBox> run(dlg);
    EXPECT_EQ(TextOf(run.Window()), "");
    EXPECT_EQ(TextOf(GetDlgItem(run.Window(), IDC_URL_EDIT)), "这里显示帮助页面的URL");
}

TEST(UrlNotice, CloseEnterEscAndCloseBoxAllEndIt) {
    for (const char* how : {"close", "enter", "esc", "closebox"}) {
        CDialog_MsgBox dlg;
        DialogRun<CDialog_MsgBox> run(dlg);
        const HWND edit = GetDlgItem(run.Window(), IDC_URL_EDIT);
        const std::string h = how;
        if (h == "close") Click(run.Window(), IDOK);
        if (h == "enter") Key(edit, VK_RETURN);
        if (h == "esc") Key(edit, VK_ESCAPE);
        if (h == "closebox") PostMessageA(run.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
        const INT_PTR result = run.Result();
        EXPECT_EQ(result, (h == "close" || h == "enter") ? IDOK : IDCANCEL) << how;
    }
}

TEST(UrlNotice, CopyPutsExactlyTheAddressOnTheClipboard) {
    PutOnClipboard("before");
    CDialog_MsgBox dlg;
    dlg.m_strURL = kUrl;
    DialogRun<CDialog_MsgBox> run(dlg);
    // Sent, not posted: the copy is done when the send returns, and this
    // thread keeps off the clipboard meanwhile (holding it would be the busy
    // case of the next test).
    DWORD_PTR ignored = 0;
    ASSERT_TRUE(SendMessageTimeoutA(run.Window(), WM_COMMAND, MAKEWPARAM(IDC_URL_COPY, BN_CLICKED),
                                    reinterpret_cast<LPARAM>(GetDlgItem(run.Window(), IDC_URL_COPY)),
                                    SMTO_NORMAL, 10000, &ignored));
    EXPECT_EQ(ClipboardText(), kUrl);
    EXPECT_TRUE(IsWindow(run.Window()));
    EXPECT_EQ(FindDialog(run.ThreadId(), run.Window()), nullptr);  // no message
}

TEST(UrlNotice, BusyClipboardAsksTheUserToCopyByHand) {
    PutOnClipboard("held by another program");
    CDialog_MsgBox dlg;
    dlg.m_strURL = kUrl;
    DialogRun<CDialog_MsgBox> run(dlg);
    ASSERT_TRUE(OpenClipboard(nullptr));  // this thread holds it now
    Click(run.Window(), IDC_URL_COPY);
    const Box box = WaitForBox(run.ThreadId(), run.Window());
    CloseClipboard();
    EXPECT_EQ(box.text, qex::text::kCopyByHand);
    EXPECT_EQ(box.caption, "QEX电子签章");
    EXPECT_TRUE(IsWindow(run.Window()));
    EXPECT_EQ(ClipboardText(), "held by another program");
}

class OutOfMemoryNotice : public CDialog_MsgBox {
protected:
    HGLOBAL AllocateClipboardBlock(SIZE_T) override { return nullptr; }
};

TEST(UrlNotice, FailedAllocationKeepsTheClipboardAndAsksToCopyByHand) {
    PutOnClipboard("what the user had");
    OutOfMemoryNotice dlg;
    dlg.m_strURL = kUrl;
    DialogRun<OutOfMemoryNotice> run(dlg);
    Click(run.Window(), IDC_URL_COPY);
    const Box box = WaitForBox(run.ThreadId(), run.Window());
    EXPECT_EQ(box.text, qex::text::kCopyByHand);
    EXPECT_EQ(ClipboardText(), "what the user had");
    // The clipboard was let go: another program can open it.
    ASSERT_TRUE(OpenClipboard(nullptr));
    CloseClipboard();
}

}  // namespace
