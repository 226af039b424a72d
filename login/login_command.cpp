#include "login/login_command.h"

#include "core/shell_texts.h"
#include "core/text_util.h"
#include "login/login_texts.h"
#include "service/field.h"
#include "service/protocol.h"

namespace qex {

namespace {

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// The reply names the sealing web page (or "NOURL") and whether a
// handwritten signature is required.
void UseAutomaticLogin(const LoginCommandParts& parts, const std::string& reply) {
    const std::string fields = WithTrailingSeparator(reply);
    const std::string url = GetField(fields, protocol::kFieldSeparator, protocol::kLoginQueryWebUrlField);
    const std::string flag = GetField(fields, protocol::kFieldSeparator, protocol::kLoginQueryNeedHwField);
    parts.state.SetNeedHW(EqualsIgnoringCase(flag, protocol::kNeedHandwriting));
    if (EqualsIgnoringCase(url, protocol::kNoUrl)) return;
    if (!parts.command.LaunchBrowser(url)) parts.command.ShowUrlNotice(text::kUrlNoticeCaption, url);
    parts.command.ShowInfo(std::string(text::kVisitThisAddress) + url);
}

}  // namespace

void RunLoginCommand(const LoginCommandParts& parts) {
    IMainWindow& window = parts.window;
    if (Contains(window.GetTitle(), text::kLoggedInMark)) {
        window.ShowMainWindow(false);
        return;
    }
    parts.command.ResetStatusList();
    parts.state.SetHWResult(std::string());

    if (parts.loginAndSign(login::kLoginText).empty()) return;

    const std::string reply =
        parts.service.QueryUkNameByCerBase64(std::string(protocol::kLoginQuery) + parts.state.GetCertHashBase64());
    parts.appendLog(reply);

    if (!Contains(reply, protocol::kSuccess)) {
        window.ShowMessage(text::kAutoLoginFailed, text::kSealCaption, kMbIconWarning | kMbOk);
        window.AppendStatus(text::kAutoLoginFailed);
        const std::string website = parts.state.GetWebsiteURL();
        if (!website.empty()) parts.command.LaunchBrowser(website);
    } else {
        UseAutomaticLogin(parts, reply);
    }

    window.ShowMainWindow(false);
    window.SetTitle(text::kTitleLoggedIn);
    window.AppendStatus(text::kLoginSucceeded);
    window.SetTrayState(kTrayLoggedIn);
    window.ShowMainWindow(false);
}

}  // namespace qex
