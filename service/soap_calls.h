// The four seal service call wrappers over the generated gSOAP proxy. Each
// call builds its own proxy and SOAP context, reads the endpoint setting
// afresh and releases everything before it returns, so calls from several
// threads need no lock. Every failure gives the empty text.
#pragma once

#include <string>

#include "core/ui.h"
#include "service/seal_service.h"

namespace qex {

// Socket time-outs in seconds; 0 waits as long as the sockets do, which is
// what the client does unless a caller asks for a limit.
struct CallTimeouts {
    int connectSeconds = 0;
    int sendSeconds = 0;
    int receiveSeconds = 0;
};

// The bounds of the calls a person waits for at the window or in a page
// (the login command, sign requests): generous for a slow service, but a
// service that takes a connection and never answers gives up at last.
inline constexpr CallTimeouts kAnsweredCallTimeouts{10, 30, 60};

std::string CallQueryUkNameByCerBase64(std::string text, const CallTimeouts& timeouts = {});
std::string CallQueryUkImgByCerBase64(std::string text, const CallTimeouts& timeouts = {});
std::string CallAddUkSealLog(std::string text0, std::string text1,
                             const CallTimeouts& timeouts = {});
std::string CallQueryUkMsgByCerHashBase64(std::string text, const CallTimeouts& timeouts = {});

// ISealService over the wrappers above. With a status sink, a call that
// ran out of one of its bounds says so there (the caller then sees the
// empty text, as for any failure).
class SoapSealService : public ISealService {
public:
    explicit SoapSealService(const CallTimeouts& timeouts = {}, IStatusSink* noAnswer = nullptr)
        : timeouts_(timeouts), noAnswer_(noAnswer) {}
    std::string QueryUkNameByCerBase64(const std::string& arg0) override;
    std::string QueryUkImgByCerBase64(const std::string& arg0) override;
    std::string AddUkSealLog(const std::string& arg0, const std::string& arg1) override;
    std::string QueryUkMsgByCerHashBase64(const std::string& arg0) override;

private:
    std::string Report(std::string reply, int ranOutAfterSeconds);

    CallTimeouts timeouts_;
    IStatusSink* noAnswer_;
};

// The status line of a call that ran out of its bound of `seconds`.
std::string NoAnswerLine(int seconds);

}  // namespace qex
