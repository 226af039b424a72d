#include "framework/dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qex::fw {
namespace {

constexpr UINT kTestDialog = 200;
constexpr int kEdit = 201, kLabel = 202;
constexpr UINT kScript = WM_APP + 1;

// A dialog that runs a small script once it is up: each step is a message
// handler call, so the test plays the user from inside the modal loop.
class ScriptedDialog : public Dialog {
public:
    ScriptedDialog() : Dialog(kTestDialog) {
        BindText(kEdit, &name);
        BindText(kLabel, &label);
        BindControl(kEdit, &editWindow);
    }
    std::string name, label;
    HWND editWindow = nullptr;
    std::string seenAtInit;
    std::vector<std::string> steps;  // what to do, in order
    std::vector<UINT> commands;
    bool cancelled = false;

protected:
    BOOL OnInitDialog() override {
        Dialog::OnInitDialog();
        seenAtInit = GetText(Item(kEdit));
        PostMessageA(Hwnd(), kScript, 0, 0);
        return TRUE;
    }
    bool OnMessage(UINT msg, WPARAM, LPARAM, INT_PTR* result) override {
        if (msg != kScript) return false;
        for (const std::string& step : steps) {
            if (step == "type") SetWindowTextA(Item(kEdit), "typed text");
            if (step == "ok") PostMessageA(Hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            if (step == "close") PostMessageA(Hwnd(), WM_CLOSE, 0, 0);
            if (step == "custom") PostMessageA(Hwnd(), WM_COMMAND, MAKEWPARAM(4711, 0), 0);
        }
        *result = TRUE;
        return true;
    }
    bool OnCommand(int id, int code, HWND control) override {
        if (id != kEdit) commands.push_back(static_cast<UINT>(id));  // not the edit's own notifications
        return Dialog::OnCommand(id, code, control);
    }
    void OnCancel() override {
        cancelled = true;
        Dialog::OnCancel();
    }
};

TEST(Dialog, FieldsArePushedAtStartAndPulledOnOk) {
    ScriptedDialog dlg;
    dlg.name = "given";
    dlg.label = "label";
    dlg.steps = {"type", "ok"};
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ("given", dlg.seenAtInit);
    EXPECT_EQ("typed text", dlg.name);
    EXPECT_EQ("label", dlg.label);
    EXPECT_NE(nullptr, dlg.editWindow);
    EXPECT_EQ(nullptr, dlg.Hwnd());  // the window is gone after the modal run
}

TEST(Dialog, CloseBoxEndsThroughCancelWithoutPulling) {
    ScriptedDialog dlg;
    dlg.name = "kept";
    dlg.steps = {"type", "custom", "close"};
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_TRUE(dlg.cancelled);
    EXPECT_EQ("kept", dlg.name);
    EXPECT_EQ((std::vector<UINT>{4711u, static_cast<UINT>(IDCANCEL)}), dlg.commands);
}

#ifndef QEX_UTF8_LITERALS
TEST(Dialog, TextsTravelAsCodePage936) {
    ScriptedDialog dlg;
    dlg.name = "电子签章";
    dlg.steps = {"ok"};
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ("\xb5\xe7\xd7\xd3\xc7\xa9\xd5\xc2", dlg.name);
}
#endif

TEST(Dialog, MissingTemplateFails) {
    class Missing : public Dialog {
    public:
        Missing() : Dialog(999) {}
    } dlg;
    EXPECT_EQ(-1, dlg.DoModal());
}

}  // namespace
}  // namespace qex::fw
