// The four seal service call wrappers over the generated gSOAP proxy. Each
// call builds its own proxy and SOAP context, reads the endpoint setting
// afresh and releases everything before it returns, so calls from several
// threads need no lock. Every failure gives the empty text.
#pragma once

#include <string>

#include "service/seal_service.h"

namespace qex {

// Socket time-outs in seconds; 0 waits as long as the sockets do, which is
// what the client does unless a caller asks for a limit.
struct CallTimeouts {
    int connectSeconds = 0;
    int sendSeconds = 0;
    int receiveSeconds = 0;
};

std::string CallQueryUkNameByCerBase64(std::string text, const CallTimeouts& timeouts = {});
std::string CallQueryUkImgByCerBase64(std::string text, const CallTimeouts& timeouts = {});
std::string CallAddUkSealLog(std::string text0, std::string text1,
                             const CallTimeouts& timeouts = {});
std::string CallQueryUkMsgByCerHashBase64(std::string text, const CallTimeouts& timeouts = {});

// ISealService over the wrappers above.
class SoapSealService : public ISealService {
public:
    explicit SoapSealService(const CallTimeouts& timeouts = {}) : timeouts_(timeouts) {}
    std::string QueryUkNameByCerBase64(const std::string& arg0) override;
    std::string QueryUkImgByCerBase64(const std::string& arg0) override;
    std::string AddUkSealLog(const std::string& arg0, const std::string& arg1) override;
    std::string QueryUkMsgByCerHashBase64(const std::string& arg0) override;

private:
    CallTimeouts timeouts_;
};

}  // namespace qex
