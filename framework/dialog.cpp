#include "framework/dialog.h"

#include "framework/application.h"

namespace qex::fw {
namespace {

// Asks an owner window to count a modal run that begins (wParam 1) or ends
// (wParam 0). A framework dialog answers kModalOwnerCounted and disables or
// enables itself on its own thread, so runs from several threads never race
// on its state.
UINT ModalOwnerMessage() {
    static const UINT message = RegisterWindowMessageA("QexFrameworkModalOwner");
    return message;
}
constexpr LRESULT kModalOwnerCounted = 0x51455846;

// How one modal run holds its owner.
struct OwnerHold {
    HWND owner = nullptr;
    enum Kind { kNone, kCounted, kDirect } kind = kNone;
};

OwnerHold HoldOwner(HWND owner) {
    OwnerHold hold;
    if (!owner || !IsWindow(owner)) return hold;
    hold.owner = owner;
    if (SendMessageA(owner, ModalOwnerMessage(), 1, 0) == kModalOwnerCounted) {
        hold.kind = OwnerHold::kCounted;
    } else if (IsWindowEnabled(owner)) {
        // Not one of ours: disabled and enabled again the plain way.
        EnableWindow(owner, FALSE);
        hold.kind = OwnerHold::kDirect;
    }
    return hold;
}

void ReleaseOwner(OwnerHold& hold) {
    if (hold.kind == OwnerHold::kCounted && IsWindow(hold.owner)) {
        SendMessageA(hold.owner, ModalOwnerMessage(), 0, 0);
    } else if (hold.kind == OwnerHold::kDirect && IsWindow(hold.owner)) {
        EnableWindow(hold.owner, TRUE);
    }
    hold.kind = OwnerHold::kNone;
}

// The window a dialog constructed with `parent` is owned by: a pop-up
// cannot be owned by a child window, so the first ancestor that is not one.
// Without a parent it is the thread's main window, or the window of this
// thread that it last activated (a dialog opened from a dialog of the same
// thread is owned by that dialog). A pop-up of another thread is never
// taken: it may end at any moment, and its owned windows with it.
HWND OwnerFor(HWND parent) {
    HWND owner = parent;
    if (!owner) {
        owner = ThreadMainWindow();
        if (owner && !IsWindow(owner)) owner = nullptr;
        if (owner) {
            const HWND popup = GetLastActivePopup(owner);
            if (popup && popup != owner && GetWindowThreadProcessId(popup, nullptr) == GetCurrentThreadId())
                owner = popup;
        }
    }
    while (owner && (GetWindowLongA(owner, GWL_STYLE) & WS_CHILD)) owner = GetParent(owner);
    return owner;
}

}  // namespace

Dialog::Dialog(UINT templateId, HWND parent) : m_templateId(templateId), m_hParent(parent) {}

Dialog::~Dialog() = default;

INT_PTR Dialog::DoModal() {
    Application* app = Application::Current();
    const HINSTANCE inst = app ? app->Instance() : GetModuleHandleA(nullptr);
    m_hOwner = OwnerFor(m_hParent);
    m_bEndModal = false;
    m_nResult = -1;

    // Held by the object rather than this frame: EndDialog releases it.
    m_nOwnerHold = static_cast<int>(HoldOwner(m_hOwner).kind);
    const HWND hwnd = CreateDialogParamA(inst, MAKEINTRESOURCEA(m_templateId), m_hOwner, &Dialog::DialogProc,
                                         reinterpret_cast<LPARAM>(this));
    if (hwnd) {
        RunModalLoop();
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
    }
    EndModalRun();
    m_hOwner = nullptr;
    return hwnd ? m_nResult : -1;
}

void Dialog::RunModalLoop() {
    bool shown = false;
    while (!m_bEndModal && m_hWnd && IsWindow(m_hWnd)) {
        MSG msg;
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!shown) {
                // Shown the first time the queue runs empty, as the system's
                // own modal loop does: initialisation is complete by then.
                shown = true;
                if (!IsWindowVisible(m_hWnd)) ShowWindow(m_hWnd, SW_SHOWNORMAL);
                continue;
            }
            const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            if (got == -1) break;
            if (got == 0) {
                PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside this one
                break;
            }
        } else if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsDialogMessageA(m_hWnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

void Dialog::EndDialog(INT_PTR result) {
    m_nResult = result;
    m_bEndModal = true;
    // The owner is enabled before this window is hidden, so that the system
    // can give the activation back to it instead of to another program.
    EndModalRun();
    if (m_hWnd) {
        SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
        PostMessageA(m_hWnd, WM_NULL, 0, 0);  // wakes the modal loop
    }
}

void Dialog::EndModalRun() {
    OwnerHold hold;
    hold.owner = m_hOwner;
    hold.kind = static_cast<OwnerHold::Kind>(m_nOwnerHold);
    m_nOwnerHold = OwnerHold::kNone;
    ReleaseOwner(hold);
}

void Dialog::CountModalRun(bool begins) {
    if (begins) {
        if (m_nModalRuns++ == 0) m_bEnableAfterModal = IsWindowEnabled(m_hWnd) != FALSE;
    } else if (m_nModalRuns > 0) {
        --m_nModalRuns;
    }
    // The state follows the count, whatever happened in between: the
    // system's message box enables its owner when it ends, even while a
    // dialog of another thread still runs on it.
    if (m_nModalRuns > 0) {
        if (IsWindowEnabled(m_hWnd)) EnableWindow(m_hWnd, FALSE);
    } else if (m_bEnableAfterModal) {
        m_bEnableAfterModal = false;
        EnableWindow(m_hWnd, TRUE);
    }
}

void Dialog::BindText(int id, std::string* field) {
    m_texts.push_back({id, field});
}

void Dialog::BindControl(int id, HWND* field) {
    m_controls.push_back({id, field});
}

bool Dialog::UpdateData(bool saveAndValidate) {
    if (!m_hWnd) return false;
    for (const ControlBinding& b : m_controls) *b.field = Item(b.id);
    for (const TextBinding& b : m_texts) {
        const HWND control = Item(b.id);
        if (!control) return false;
        if (saveAndValidate) {
            *b.field = GetText(control);
        } else {
            SetWindowTextA(control, b.field->c_str());
        }
    }
    return true;
}

BOOL Dialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR*) {
    return false;
}

bool Dialog::OnCommand(int id, int, HWND) {
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

void Dialog::OnOK() {
    if (UpdateData(true)) EndDialog(IDOK);
}

void Dialog::OnCancel() {
    EndDialog(IDCANCEL);
}

INT_PTR Dialog::InitDialog() {
    RECT before = {};
    GetWindowRect(m_hWnd, &before);
    const BOOL result = OnInitDialog();
    if (!m_hWnd || m_bEndModal) return result;
    // Centred unless the dialog placed or showed itself: a dialog that
    // moves itself knows where it belongs.
    RECT after = {};
    GetWindowRect(m_hWnd, &after);
    const LONG style = GetWindowLongA(m_hWnd, GWL_STYLE);
    const bool placedItself = after.left != before.left || after.top != before.top;
    const HWND owner = GetWindow(m_hWnd, GW_OWNER);
    const bool modal = !owner || !IsWindowEnabled(owner);
    if (!(style & (WS_VISIBLE | WS_CHILD)) && !placedItself && modal) CentreWindow(m_hWnd);
    return result;
}

INT_PTR Dialog::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == ModalOwnerMessage()) {
        CountModalRun(wParam != 0);
        SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, kModalOwnerCounted);
        return TRUE;
    }
    INT_PTR result = TRUE;
    bool handled = OnMessage(msg, wParam, lParam, &result);
    if (!handled && msg == WM_COMMAND) {
        handled = OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        result = TRUE;
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(m_hWnd, DWLP_USER, 0);
        m_hWnd = nullptr;
    }
    return handled ? result : FALSE;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // No exception may unwind through the system's dialog manager: one that
    // reaches here leaves the message to the default processing.
    try {
        if (msg == WM_INITDIALOG) {
            Dialog* self = reinterpret_cast<Dialog*>(lParam);
            self->m_hWnd = hwnd;
            SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
            return self->InitDialog();
        }
        Dialog* self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
        if (!self) return FALSE;
        return self->Dispatch(msg, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

std::string GetText(HWND hwnd) {
    const int len = GetWindowTextLengthA(hwnd);
    if (len <= 0) return std::string();
    std::string text(static_cast<std::size_t>(len) + 1, '\0');
    const int got = GetWindowTextA(hwnd, &text[0], len + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

int MessageBoxOwned(HWND owner, const char* text, const char* caption, UINT type) {
    OwnerHold hold = HoldOwner(OwnerFor(owner));
    const int result = MessageBoxA(owner, text, caption, type);
    ReleaseOwner(hold);
    return result;
}

void CentreWindow(HWND hwnd) {
    HWND centreOn = GetWindow(hwnd, GW_OWNER);
    if (centreOn) {
        const LONG style = GetWindowLongA(centreOn, GWL_STYLE);
        if (!(style & WS_VISIBLE) || (style & WS_MINIMIZE)) centreOn = nullptr;
    }
    MONITORINFO mi;
    mi.cbSize = sizeof mi;
    RECT area = {}, target = {};
    if (centreOn) {
        GetWindowRect(centreOn, &target);
        GetMonitorInfoA(MonitorFromWindow(centreOn, MONITOR_DEFAULTTONEAREST), &mi);
        area = mi.rcWork;
    } else {
        const HWND main = ThreadMainWindow();
        GetMonitorInfoA(MonitorFromWindow(main ? main : hwnd, MONITOR_DEFAULTTOPRIMARY), &mi);
        area = target = mi.rcWork;
    }
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    int x = (target.left + target.right) / 2 - w / 2;
    int y = (target.top + target.bottom) / 2 - h / 2;
    // Kept on the work area, its top-left corner first.
    if (x + w > area.right) x = area.right - w;
    if (x < area.left) x = area.left;
    if (y + h > area.bottom) y = area.bottom - h;
    if (y < area.top) y = area.top;
    SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace qex::fw
