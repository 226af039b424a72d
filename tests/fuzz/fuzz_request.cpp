// Feeds arbitrary received bytes through the whole sign flow with a host
// that always says yes, and checks that every reply is well-formed JSONP as
// a browser reads it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "bridge/jsonp.h"
#include "bridge/request.h"
#include "bridge/sign_handler.h"
#include "tests/support/gbk_reader.h"

namespace {

class Utf8PassThrough : public qex::ICodePage {
public:
    std::string Utf8ToAnsi(const std::string& s) override { return s; }
};

class YesHost : public qex::bridge::IBridgeHost {
public:
    explicit YesHost(std::string v) : value_(std::move(v)) {}
    void AppendStatus(const std::string&) override {}
    bool NeedHW() override { return false; }
    std::string GetHWResult() override { return value_; }
    void RequestHandwriting() override {}
    void ClearHWResultIf(const std::string&) override {}
    std::string GetSealImgURL() override { return value_ + "x"; }
    std::string GetCertHashBase64() override { return value_; }
    bool QuerySealInfo(std::string& t, std::string& u, std::string& n) override {
        t = u = n = value_;
        return true;
    }
    std::string LoginAndSign(const std::string& text) override { return text; }

private:
    std::string value_;
};

// Every reply reads as one call with a flat object of strings, for a browser
// that decodes it as GBK: no value runs into the next.
void CheckWellFormed(const std::string& reply) {
    if (!qex::test::ReadReply(reply)) std::abort();
}

class CheckingChannel : public qex::bridge::IReplyChannel {
public:
    void SendReply(const std::string& body) override { CheckWellFormed(body); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string received(reinterpret_cast<const char*>(data), size);
    Utf8PassThrough cp;
    CheckingChannel channel;
    // The same bytes serve as request and as the values the host returns.
    YesHost host(received.substr(0, 64));
    qex::bridge::ParseRequest(received, host, cp, channel);
    CheckWellFormed(qex::bridge::StatusReply("1", received));
    return 0;
}
