#include "dialogs/url_notice_dialog.h"

#include <cstring>

#include "dialogs/dialog_ids.h"
#include "dialogs/dialog_texts.h"
#include "core/win/owners.h"

namespace {

constexpr UINT kShowUrlStart = WM_APP + 38;

}  // namespace

CDialog_MsgBox::CDialog_MsgBox() : qex::fw::Dialog(IDD_URL_NOTICE), m_strURL(qex::text::kUrlPlaceholder) {
    BindText(IDC_URL_EDIT, &m_strURL);
}

BOOL CDialog_MsgBox::OnInitDialog() {
    qex::fw::Dialog::OnInitDialog();
    SetWindowTextA(Hwnd(), m_strCaption.c_str());
    // The system selects the whole text of the box that gets the focus,
    // which scrolls a long address to its end; show its start once that is done.
    PostMessageA(Hwnd(), kShowUrlStart, 0, 0);
    return TRUE;
}

bool CDialog_MsgBox::OnMessage(UINT msg, WPARAM, LPARAM, INT_PTR* result) {
    if (msg != kShowUrlStart) return false;
    const HWND edit = Item(IDC_URL_EDIT);
    SendMessageA(edit, EM_SETSEL, 0, 0);
    SendMessageA(edit, EM_SCROLLCARET, 0, 0);
    *result = TRUE;
    return true;
}

bool CDialog_MsgBox::OnCommand(int id, int code, HWND control) {
    if (id == IDC_URL_COPY && code == BN_CLICKED) {
        CopyUrl();
        return true;
    }
    return qex::fw::Dialog::OnCommand(id, code, control);
}

HGLOBAL CDialog_MsgBox::AllocateClipboardBlock(SIZE_T bytes) {
    return GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes);
}

void CDialog_MsgBox::TellCopyByHand() {
    qex::fw::MessageBoxOwned(Hwnd(), qex::text::kCopyByHand, qex::text::kAppCaption, MB_ICONEXCLAMATION | MB_OK);
}

// The block is filled before the clipboard is emptied: when memory runs out
// the user keeps what the clipboard held and is told to copy by hand.
void CDialog_MsgBox::CopyUrl() {
    qex::win::ClipboardOpen clipboard(Hwnd());
    if (!clipboard.IsOpen()) {
        TellCopyByHand();
        return;
    }
    const std::string url = m_strURL;  // the read-only box shows exactly this
    qex::win::UniqueGlobal block(AllocateClipboardBlock(url.size() + 1));
    void* bytes = block ? GlobalLock(block.Get()) : nullptr;
    if (!bytes) {
        clipboard.Close();  // not held while the user reads the message
        TellCopyByHand();
        return;
    }
    std::memcpy(bytes, url.c_str(), url.size() + 1);
    GlobalUnlock(block.Get());
    EmptyClipboard();
    // The clipboard owns the block once it took it; a refused one stays ours.
    if (SetClipboardData(CF_TEXT, block.Get())) {
        block.Detach();
    } else {
        clipboard.Close();
        TellCopyByHand();
    }
}
