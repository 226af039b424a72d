#include "bridge/sign_handler.h"

#include "bridge/bridge_texts.h"
#include "bridge/jsonp.h"
#include "bridge/request.h"
#include "core/step_trace.h"
#include "core/texts.h"

namespace qex::bridge {

void ParseRequest(const std::string& received, IBridgeHost& host, ICodePage& codePage,
                  IReplyChannel& channel) {
    const CutRequest cut = CutSignRequest(received);
    QEX_STEP("request cut");
    switch (cut.kind) {
    case RequestKind::kNoData:
        host.AppendStatus(text::kNoData);
        return;
    case RequestKind::kUserWithoutEnd:
        host.AppendStatus(text::kUserNoEnd);
        return;
    case RequestKind::kSign:
        HandleSignRequest(host, codePage, cut.sign, channel);
        return;
    }
}

void ServeRequest(const std::string& received, const OriginGate& gate, IBridgeHost& host, ICodePage& codePage,
                  IReplyChannel& channel) {
    // A peer that sent nothing asks for nothing: it is handled as without
    // the gate (a status line, no reply).
    if (!received.empty()) {
        const OriginGate::Verdict verdict = gate.Check(received);
        if (!verdict.allowed) {
            host.AppendStatus(verdict.statusLine);
            channel.SendReply(StatusReply("1", qex::text::kOriginRefused));
            return;
        }
    }
    ParseRequest(received.substr(0, kRequestBytes), host, codePage, channel);
}

void HandleSignRequest(IBridgeHost& host, ICodePage& codePage, const std::string& sign,
                       IReplyChannel& channel) {
    // The handwriting gate comes first, before the login state is looked at.
    if (host.NeedHW() && host.GetHWResult().empty()) {
        channel.SendReply(StatusReply("2", text::kWaitHandwriting));
        host.RequestHandwriting();
        return;
    }

    const std::string img = host.GetSealImgURL();
    if (img.empty()) {
        channel.SendReply(StatusReply("1", text::kLoginFirst));
        return;
    }

    std::string time, user, sealName;
    if (!host.QuerySealInfo(time, user, sealName)) {
        channel.SendReply(StatusReply("1", time + text::kSealInfoFailed));
        return;
    }
    QEX_STEP("seal info call");
    host.AppendStatus(std::string(text::kSealUser) + user);
    host.AppendStatus(std::string(text::kSealName) + sealName);

    const SignRequest req = SplitSignRequest(sign);
    if (req.hasUnit) {
        const std::string unit = DecodeUrlText(req.rawUnit, codePage);
        host.AppendStatus(std::string(text::kRequiredUnit) + unit);
        if (unit != user) {
            host.AppendStatus(text::kUnitMismatchLine);
            channel.SendReply(StatusReply("1", text::kUnitMismatch));
            return;
        }
    } else {
        host.AppendStatus(text::kNoUnitGiven);
    }

    QEX_STEP("status lines: user, seal, unit");
    const std::string sig = host.LoginAndSign(req.plain);
    QEX_STEP("login procedure returned");
    const std::string uid = host.GetCertHashBase64();
    if (sig.empty()) {
        host.AppendStatus(text::kSignFailedLine);
        channel.SendReply(StatusReply("1", text::kSignFailed));
        return;
    }

    host.AppendStatus(text::kSignOkLine);
    QEX_STEP("status line: signed");
    const std::string hw = host.GetHWResult();
    const std::string reply = BuildReply({
        {"IMGURL", img},
        {"SIGNVAL", sig},
        {"UID", uid},
        {"TIME", time},
        {"USER", user},
        {"SEALNAME", sealName},
        {"STATUS", "0"},
        {"PLAIN", req.plain},
        {"HWIMGURL", hw},
    });
    host.ClearHWResultIf(hw);
    channel.SendReply(reply);
}

}  // namespace qex::bridge
