// CDialog_MsgBox: shows a web address the client could not open itself, in
// a read-only box, with a button that copies it to the clipboard.
#pragma once

#include <string>

#include "framework/dialog.h"

class CDialog_MsgBox : public qex::fw::Dialog {
public:
    CDialog_MsgBox();

    std::string m_strCaption;  // the window title
    std::string m_strURL;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

    // The clipboard block for `bytes` bytes (GlobalAlloc); tests replace it
    // to see a failed allocation handled.
    virtual HGLOBAL AllocateClipboardBlock(SIZE_T bytes);

private:
    void CopyUrl();
    void TellCopyByHand();
};
