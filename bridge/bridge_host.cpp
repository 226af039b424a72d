#include "bridge/bridge_host.h"

#include "service/seal_info.h"

namespace qex::bridge {

// The set-up failure boxes are the program's standard message box: owned by
// the main window, the program's name as caption, an OK button.
void BridgeHost::ShowSetupError(const std::string& text) {
    window_.ShowMessage(text, programName_, kMbOk | kMbIconWarning);
}

bool BridgeHost::QuerySealInfo(std::string& time, std::string& user, std::string& sealName) {
    return qex::QuerySealInfo(service_, state_.GetCertHashBase64(), time, user, sealName);
}

bool ServeSignRequests(BridgeHost& host, ICodePage& codePage, const OriginGate& gate, ListenerOptions options) {
    options.readWholeHead = gate.enabled();
    return RunBridge(
        host,
        [&host, &codePage, &gate](const std::string& request, IReplyChannel& channel) {
            ServeRequest(request, gate, host, codePage, channel);
        },
        options);
}

}  // namespace qex::bridge
