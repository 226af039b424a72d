#include "core/tray_state.h"

#include "core/shell_texts.h"

namespace qex {

void TrayIcon::SetTrayState(int mode, const std::string& notice) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_tray.Remove(m_record);
    if (mode == kTrayLoggedIn || mode == kTrayLoggedOut) {
        const bool in = mode == kTrayLoggedIn;
        m_record.iconId = in ? kIconTrayGreen : kIconTrayRed;
        m_record.tip = in ? text::kTrayTipLoggedIn : text::kTrayTipLoggedOut;
        m_tray.Add(m_record);
        return;
    }
    // The status line waits for the main thread: never send it under the lock.
    lock.unlock();
    m_status.AppendStatus(notice);
    lock.lock();
    m_tray.Add(m_record);
}

void TrayIcon::Remove() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_tray.Remove(m_record);
}

TrayRecord TrayIcon::Record() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_record;
}

}  // namespace qex
