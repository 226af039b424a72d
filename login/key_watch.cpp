#include "login/key_watch.h"

#include "core/install_settings.h"
#include "core/shell_texts.h"
#include "login/login_texts.h"

namespace qex {

void RunKeyCheck(int keyCount, const KeyWatchParts& parts) {
    MainState& state = parts.state;
    IMainWindow& window = parts.window;
    const int previous = state.GetKeyCount();

    window.EnableLogin(keyCount == 1);
    if (keyCount != 1) {
        if (keyCount >= 2) {
            state.SetSealImgURL(std::string());
            window.ShowMainWindow(true);
            window.AppendStatus(text::kKeepOnlyOneUk);
            window.SetTitle(text::kTitleLoggedOut);
        }
        window.SetTrayState(kTrayLoggedOut);
    }

    if (previous == 0 && keyCount == 1) {
        window.ShowMainWindow(true);
        window.AppendStatus(text::kUkInserted);
        window.SetTitle(text::kTitleLoggedOut);
        window.SetTrayState(kTrayLoggedOut);
        const std::string website = ReadWebsiteURL(parts.profile, GetInstallConfigPath(parts.fs));
        if (!website.empty()) parts.shell.OpenUrl(website);
    }

    if (previous == 1 && keyCount == 0) {
        state.SetSealImgURL(std::string());
        window.SetTitle(text::kTitleLoggedOut);
        window.SetTrayState(kTrayLoggedOut);
    }

    state.SetKeyCount(keyCount);
}

}  // namespace qex
