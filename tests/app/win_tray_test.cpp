#include "app/win_tray.h"

#include <gtest/gtest.h>

namespace {

TEST(WinTray, RecordIsPreparedForTheAnsiShellCall) {
    WinTray tray;
    HWND owner = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    tray.Prepare(GetModuleHandleA(nullptr), owner);
    const NOTIFYICONDATAA& nid = tray.Data();
    EXPECT_EQ(sizeof(NOTIFYICONDATAA), nid.cbSize);
    EXPECT_EQ(owner, nid.hWnd);
    EXPECT_EQ(7u, nid.uFlags);
    EXPECT_EQ(1124u, nid.uCallbackMessage);
    EXPECT_EQ(1124u, WM_TRAYNOTIFY);
    EXPECT_EQ(0u, nid.uID);

    tray.Add({qex::kIconTrayRed, "tip text"});
    EXPECT_EQ(134u, tray.Data().uID);
    EXPECT_STREQ("tip text", tray.Data().szTip);
    // A tip longer than the record's field is cut, never overrun.
    tray.Remove({qex::kIconTrayRed, std::string(300, 't')});
    EXPECT_EQ(sizeof(nid.szTip) - 1, std::string(tray.Data().szTip).size());
    DestroyWindow(owner);
}

}  // namespace
