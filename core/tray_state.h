// The tray icon of the main window, as logic over a small tray interface so
// the three modes of SetTrayState can be followed without a shell.
#pragma once

#include "core/tray_icons.h"
#include "core/ui.h"

#include <mutex>
#include <string>

namespace qex {

enum : int { kIconTrayRed = IDI_TRAY_RED, kIconTrayGreen = IDI_TRAY_GREEN };

// What the shell is told: the icon resource shown (also the icon's
// identifier) and its tip.
struct TrayRecord {
    int iconId = 0;
    std::string tip;
};

// Shell_NotifyIcon on Windows. Both calls describe the icon by the record.
class ITray {
public:
    virtual ~ITray() = default;
    virtual bool Add(const TrayRecord& record) = 0;
    virtual bool Remove(const TrayRecord& record) = 0;
};

class TrayIcon {
public:
    TrayIcon(ITray& tray, IStatusSink& status) : m_tray(tray), m_status(status) {}

    // Every mode first removes the icon (harmless when none is shown), then:
    // kTrayLoggedIn shows the green light, kTrayLoggedOut the red one, and
    // any other mode appends `notice` to the status list and adds the icon
    // again as it was. Nothing is shown before the first call.
    void SetTrayState(int mode, const std::string& notice);

    // Takes the icon off the tray for good (exit).
    void Remove();

    TrayRecord Record() const;

private:
    ITray& m_tray;
    IStatusSink& m_status;
    mutable std::mutex m_lock;  // guards m_record and the shell calls, never the status line
    TrayRecord m_record;
};

}  // namespace qex
