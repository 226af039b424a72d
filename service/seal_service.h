// The four seal service calls the client makes, behind an interface so the
// login procedure, the bridge and the handwriting capture can run against a
// fake in tests. Every call returns the service's reply text, or the empty
// text on any failure (unreachable, HTTP error, SOAP fault, no reply).
#pragma once

#include <string>

namespace qex {

class ISealService {
public:
    virtual ~ISealService() = default;
    // queryUkNameByCerBase64: login query, handwriting request and poll.
    virtual std::string QueryUkNameByCerBase64(const std::string& arg0) = 0;
    // queryUkImgByCerBase64: login check ("QEXRET:" + seal image URL).
    virtual std::string QueryUkImgByCerBase64(const std::string& arg0) = 0;
    // addUkSealLog: records the use of the seal (certificate digest, signed text).
    virtual std::string AddUkSealLog(const std::string& arg0, const std::string& arg1) = 0;
    // queryUkMsgByCerHashBase64: seal details (Base64 of "time@@@@unit@@@@name").
    virtual std::string QueryUkMsgByCerHashBase64(const std::string& arg0) = 0;
};

}  // namespace qex
