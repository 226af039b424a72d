// Modal dialogs from dialog templates, with message dispatch to virtual
// handlers and data exchange between controls and fields.
//
// Ownership and modality follow the dialog framework programs of this kind
// are written for:
// - A dialog constructed without a parent is owned by the calling thread's
//   main window (ThreadMainWindow: the application's main window, which
//   worker threads inherit), so it stays above that window, also when the
//   window is topmost.
// - While a modal dialog runs, its owner is disabled, and enabled again
//   before the dialog's window goes (so activation returns to it). Several
//   modal runs on one owner, from any threads, count: the owner comes back
//   when the last of them ends.
// - A dialog that does not move itself in OnInitDialog is centred over its
//   owner when the owner is visible and not minimised, otherwise on the work
//   area of the monitor of the main window; an unowned one (the main window
//   itself) on the work area.
//
// Data exchange: BindText ties an edit or static control to a std::string
// (window text, code page 936), BindControl fills an HWND field with a
// control's window. UpdateData(false) pushes the fields to the controls,
// UpdateData(true) pulls the controls' texts into the fields. OnInitDialog
// pushes once, OnOK pulls before the dialog ends, as callers expect of a
// dialog whose inputs and outputs are public fields.
#pragma once

#include "core/win/win32.h"

#include <string>
#include <vector>

namespace qex::fw {

class Dialog {
public:
    explicit Dialog(UINT templateId, HWND parent = nullptr);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog until EndDialog; returns its result, or -1 when the
    // dialog could not be created.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result);

    HWND Hwnd() const { return m_hWnd; }
    HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }
    UINT TemplateId() const { return m_templateId; }

    bool UpdateData(bool saveAndValidate);

protected:
    void BindText(int id, std::string* field);
    void BindControl(int id, HWND* field);

    // WM_INITDIALOG. The base pushes the bound fields; return TRUE to let
    // the system set the focus.
    virtual BOOL OnInitDialog();
    // Every message first comes here. Return true when handled and set
    // *result to the dialog procedure's answer (for most messages TRUE; for
    // those with a value of their own, that value). Unhandled messages get
    // the default dialog processing.
    virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR* result);
    // WM_COMMAND, after OnMessage passed it on. The base maps IDOK and
    // IDCANCEL to OnOK and OnCancel. Return true when handled.
    virtual bool OnCommand(int id, int code, HWND control);
    virtual void OnOK();
    virtual void OnCancel();

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR InitDialog();
    void RunModalLoop();
    void CountModalRun(bool begins);
    void EndModalRun();

    struct TextBinding {
        int id;
        std::string* field;
    };
    struct ControlBinding {
        int id;
        HWND* field;
    };

    UINT m_templateId;
    HWND m_hParent;
    HWND m_hWnd = nullptr;
    std::vector<TextBinding> m_texts;
    std::vector<ControlBinding> m_controls;

    // This dialog's own modal run.
    HWND m_hOwner = nullptr;
    int m_nOwnerHold = 0;  // how the run holds its owner: not, counted, directly
    bool m_bEndModal = false;
    INT_PTR m_nResult = -1;

    // This window as the owner of modal runs (its own thread only).
    int m_nModalRuns = 0;
    bool m_bEnableAfterModal = false;
};

// The window text of `hwnd` as code page 936 bytes.
std::string GetText(HWND hwnd);

// A message box owned by `owner` (none when null) that holds the owner
// disabled like a modal dialog does, counted with the dialogs' runs: a box
// that ends while a dialog still runs on the same owner leaves it disabled.
int MessageBoxOwned(HWND owner, const char* text, const char* caption, UINT type);

// Centres a top-level window as a modal dialog is centred (see above).
void CentreWindow(HWND hwnd);

}  // namespace qex::fw
