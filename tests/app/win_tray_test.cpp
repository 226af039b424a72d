#include "app/win_tray.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace {

HWND MessageWindow() {
    return CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

// The shell takes the record's size as its version: the ANSI record up to
// and including its item GUID, whatever the headers' structure has grown to.
TEST(WinTray, RecordSizeIsTheVersionThreeLayoutOfThisTarget) {
    WinTray tray;
    HWND owner = MessageWindow();
    tray.Prepare(GetModuleHandleA(nullptr), owner);
    const NOTIFYICONDATAA& nid = tray.Data();
    EXPECT_EQ(nid.cbSize, offsetof(NOTIFYICONDATAA, guidItem) + sizeof(GUID));
#ifndef _WIN64
    EXPECT_EQ(nid.cbSize, 504u);
#endif
    EXPECT_LT(nid.cbSize, sizeof(NOTIFYICONDATAA));
    EXPECT_EQ(owner, nid.hWnd);
    // Nothing is shown before the first state: no icon yet.
    EXPECT_EQ(nullptr, nid.hIcon);
    DestroyWindow(owner);
}

// What the shell is handed for a state: the icon, the callback and the tip
// all flagged, the tip cut to the record's field, never overrun.
TEST(WinTray, AddAndRemoveDescribeTheIconWithItsTip) {
    WinTray tray;
    HWND owner = MessageWindow();
    tray.Prepare(GetModuleHandleA(nullptr), owner);
    tray.Add({qex::kIconTrayRed, "tip text"});
    const NOTIFYICONDATAA& nid = tray.Data();
    EXPECT_EQ(static_cast<UINT>(qex::kIconTrayRed), nid.uID);
    EXPECT_STREQ("tip text", nid.szTip);
    EXPECT_EQ(NIF_MESSAGE | NIF_ICON | NIF_TIP, nid.uFlags & (NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(WM_TRAYNOTIFY, nid.uCallbackMessage);
    tray.Remove({qex::kIconTrayRed, std::string(300, 't')});
    EXPECT_EQ(sizeof(nid.szTip) - 1, std::string(tray.Data().szTip).size());
    tray.Add({qex::kIconTrayGreen, "green"});
    EXPECT_EQ(static_cast<UINT>(qex::kIconTrayGreen), tray.Data().uID);
    tray.Remove({qex::kIconTrayGreen, "green"});
    DestroyWindow(owner);
}

}  // namespace
