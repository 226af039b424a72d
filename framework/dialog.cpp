#include "framework/dialog.h"

#include "framework/application.h"

namespace qex::fw {

Dialog::Dialog(UINT templateId, HWND parent) : m_templateId(templateId), m_hParent(parent) {}

Dialog::~Dialog() = default;

INT_PTR Dialog::DoModal() {
    Application* app = Application::Current();
    const HINSTANCE inst = app ? app->Instance() : GetModuleHandleA(nullptr);
    HWND parent = m_hParent;
    if (!parent && app) parent = app->MainWindow();
    return DialogBoxParamA(inst, MAKEINTRESOURCEA(m_templateId), parent, &Dialog::DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

void Dialog::EndDialog(INT_PTR result) {
    ::EndDialog(m_hWnd, result);
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

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Dialog* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->m_hWnd = hwnd;
        SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        return self->OnInitDialog();
    }
    self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!self) return FALSE;
    INT_PTR result = TRUE;
    bool handled = self->OnMessage(msg, wParam, lParam, &result);
    if (!handled && msg == WM_COMMAND) {
        handled = self->OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        result = TRUE;
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return handled ? result : FALSE;
}

std::string GetText(HWND hwnd) {
    const int len = GetWindowTextLengthA(hwnd);
    if (len <= 0) return std::string();
    std::string text(static_cast<std::size_t>(len) + 1, '\0');
    const int got = GetWindowTextA(hwnd, &text[0], len + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

}  // namespace qex::fw
