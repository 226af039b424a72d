// The shell's tray (Shell_NotifyIconA) behind qex::ITray: keeps the ANSI
// notification record of the main window.
#pragma once

#include "core/tray_state.h"

#include "core/win/win32.h"
#include <shellapi.h>

// Callback message of the tray icon.
constexpr UINT WM_TRAYNOTIFY = WM_USER + 100;

class WinTray : public qex::ITray {
public:
    // Fills the record: its size, the owner window, message, icon and tip
    // flags, and the callback message. Nothing is shown yet.
    void Prepare(HINSTANCE instance, HWND owner);

    bool Add(const qex::TrayRecord& record) override;
    bool Remove(const qex::TrayRecord& record) override;

    const NOTIFYICONDATAA& Data() const { return m_nid; }

private:
    void Fill(const qex::TrayRecord& record);

    HINSTANCE m_hInstance = nullptr;
    NOTIFYICONDATAA m_nid = {};
};
