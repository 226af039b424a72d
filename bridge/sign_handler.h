// What the bridge does with one request: the handwriting gate, the login
// gate, the seal details, the unit check, signing, and the JSONP reply.
// Everything the main window provides comes through IBridgeHost, so the
// whole flow runs in unit tests with fakes.
#pragma once

#include <string>

#include "core/origin_gate.h"
#include "core/platform.h"
#include "core/ui.h"

namespace qex::bridge {

class IBridgeHost : public IStatusSink {
public:
    // m_bNeedHW: a handwritten signature is required before sealing.
    virtual bool NeedHW() = 0;
    virtual std::string GetHWResult() = 0;
    // Raises m_bHWRequested for the handwriting wait thread.
    virtual void RequestHandwriting() = 0;
    // Empties m_strHWResult if it still holds `used`: a handwriting stored
    // meanwhile by another thread is kept for the next request, not lost.
    virtual void ClearHWResultIf(const std::string& used) = 0;
    virtual std::string GetSealImgURL() = 0;
    virtual std::string GetCertHashBase64() = 0;
    virtual bool QuerySealInfo(std::string& time, std::string& user, std::string& sealName) = 0;
    virtual std::string LoginAndSign(const std::string& text) = 0;
};

// The connection the request came on.
class IReplyChannel {
public:
    virtual ~IReplyChannel() = default;
    virtual void SendReply(const std::string& body) = 0;
};

// Cuts the sign request out of the received text and handles it. Requests
// without data get a status line and no reply.
void ParseRequest(const std::string& received, IBridgeHost& host, ICodePage& codePage,
                  IReplyChannel& channel);

// What the listener read of one connection goes through the origin gate
// first. A refused request gets a status line saying why and a failure
// reply, and nothing else happens for it: no handwriting request, no key,
// no seal service. The rest is cut from the first kRequestBytes bytes, as
// one receive of the listener would have read them.
inline constexpr std::size_t kRequestBytes = 500;
void ServeRequest(const std::string& received, const OriginGate& gate, IBridgeHost& host, ICodePage& codePage,
                  IReplyChannel& channel);

// Handles one sign request S.
void HandleSignRequest(IBridgeHost& host, ICodePage& codePage, const std::string& sign,
                       IReplyChannel& channel);

}  // namespace qex::bridge
