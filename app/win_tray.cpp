#include "app/win_tray.h"

#include <cstring>

void WinTray::Prepare(HINSTANCE instance, HWND owner) {
    m_hInstance = instance;
    m_nid = {};
    // The record as far as its item GUID (the shell's version 3 layout, 504
    // bytes for 32-bit programs), not the whole structure of the headers,
    // which grows with the SDK: the shell reads no further than cbSize.
    m_nid.cbSize = NOTIFYICONDATAA_V3_SIZE;
    m_nid.hWnd = owner;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = WM_TRAYNOTIFY;
}

void WinTray::Fill(const qex::TrayRecord& record) {
    if (static_cast<int>(m_nid.uID) != record.iconId || !m_nid.hIcon) {
        // Icons loaded from resources are shared and need no release.
        m_nid.hIcon = record.iconId ? LoadIconA(m_hInstance, MAKEINTRESOURCEA(record.iconId)) : nullptr;
    }
    m_nid.uID = static_cast<UINT>(record.iconId);
    const std::size_t n = record.tip.size() < sizeof(m_nid.szTip) - 1 ? record.tip.size() : sizeof(m_nid.szTip) - 1;
    std::memcpy(m_nid.szTip, record.tip.data(), n);
    m_nid.szTip[n] = '\0';
}

bool WinTray::Add(const qex::TrayRecord& record) {
    Fill(record);
    return Shell_NotifyIconA(NIM_ADD, &m_nid) != FALSE;
}

bool WinTray::Remove(const qex::TrayRecord& record) {
    Fill(record);
    return Shell_NotifyIconA(NIM_DELETE, &m_nid) != FALSE;
}
