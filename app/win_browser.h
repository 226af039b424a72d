// Opening web pages: LaunchBrowser starts the registered "http" browser (or
// Internet Explorer) with the URL; the key watch opens its web site through
// the shell's "open" verb.
#pragma once

#include <string>

#include "login/key_watch.h"

// TRUE when a browser process was started (it may have ended already,
// having handed the URL to a running one). Blocks for up to 10 s.
bool WinLaunchBrowser(const std::string& url);

class WinShellOpen : public qex::IShellOpen {
public:
    void OpenUrl(const std::string& url) override;
};
