#include "login/login_command.h"

#include "core/shell_texts.h"
#include "core/text_util.h"
#include "login/login_texts.h"
#include "service/protocol.h"
#include "service/replies.h"

namespace qex {

namespace {

// The reply names the sealing web page (or "NOURL") and whether a
// handwritten signature is required.
void UseAutomaticLogin(const LoginCommandParts& parts, const LoginQueryReply& reply) {
    parts.state.SetNeedHW(reply.needHandwriting);
    if (!reply.openWebUrl) return;
    if (!parts.command.LaunchBrowser(reply.webUrl)) parts.command.ShowUrlNotice(text::kUrlNoticeCaption, reply.webUrl);
    parts.command.ShowInfo(std::string(text::kVisitThisAddress) + reply.webUrl);
}

}  // namespace

void RunLoginCommand(const LoginCommandParts& parts) {
    IMainWindow& window = parts.window;
    if (Contains(window.GetTitle(), text::kLoggedInMark)) {
        window.ShowMainWindow(false);
        return;
    }
    // The list is emptied and the handwriting forgotten only once the run
    // is sure to go ahead: a login refused because a sign request holds it
    // must not wipe what that request is showing.
    const std::string signature = parts.loginAndSign(login::kLoginText, [&parts] {
        parts.command.ResetStatusList();
        parts.state.SetHWResult(std::string());
    });
    if (signature.empty()) return;

    const std::string reply =
        parts.service.QueryUkNameByCerBase64(std::string(protocol::kLoginQuery) + parts.state.GetCertHashBase64());
    parts.appendLog(reply);

    const LoginQueryReply query = ParseLoginQueryReply(reply);
    if (!query.ok) {
        window.ShowMessage(text::kAutoLoginFailed, text::kSealCaption, kMbIconWarning | kMbOk);
        window.AppendStatus(text::kAutoLoginFailed);
        const std::string website = parts.state.GetWebsiteURL();
        if (!website.empty()) parts.command.LaunchBrowser(website);
    } else {
        UseAutomaticLogin(parts, query);
    }

    window.ShowMainWindow(false);
    window.SetTitle(text::kTitleLoggedIn);
    window.AppendStatus(text::kLoginSucceeded);
    window.SetTrayState(kTrayLoggedIn);
    window.ShowMainWindow(false);
}

}  // namespace qex
