#include "core/startup.h"

#include "core/install_settings.h"
#include "core/shell_texts.h"

namespace qex {

void RunStartupKeyStep(int keyCount, MainState& state, IMainWindow& window,
                       IProfileReader& profile, IFileSystem& fs) {
    state.SetKeyCount(keyCount);
    if (keyCount <= 0) {
        window.AppendStatus(text::kNoKey);
        return;
    }
    if (keyCount >= 2) {
        window.AppendStatus(text::kKeepOneKey);
        return;
    }
    window.AppendStatus(text::kOneKeyPleaseLogin);
    const std::string config = GetInstallConfigPath(fs);
    state.SetWebsiteURL(ReadWebsiteURL(profile, config));
    const std::string help = ReadHelpURL(profile, config);
    state.SetHelpURL(help);
    window.EnableLogin(true);
    window.ShowHelpLink(!help.empty());
}

}  // namespace qex
