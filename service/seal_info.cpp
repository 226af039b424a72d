#include "service/seal_info.h"

#include <cstring>
#include <vector>

#include "core/text_util.h"
#include "service/base64.h"
#include "service/field.h"
#include "service/protocol.h"

namespace qex {
namespace {

// The reply decoded into a zero-filled buffer as long as the reply, read up
// to the first NUL: a decoded NUL ends the text, as it would in a C string.
std::string DecodeReplyText(const std::string& reply) {
    std::vector<unsigned char> buffer(reply.size() + 1, 0);
    std::size_t capacity = reply.size();
    DecodeBase64(reply.c_str(), reply.size(), buffer.data(), &capacity);
    return std::string(reinterpret_cast<const char*>(buffer.data()));
}

}  // namespace

bool QuerySealInfo(ISealService& service, const std::string& certHashBase64, std::string& time,
                   std::string& unit, std::string& sealName) {
    const std::string reply =
        service.QueryUkMsgByCerHashBase64(std::string(protocol::kSealDetails) + certHashBase64);
    if (reply.empty()) {
        return false;
    }
    const std::string text = DecodeReplyText(reply);
    time = text;
    if (Contains(text, protocol::kRefused) || !Contains(text, protocol::kFieldSeparator)) {
        return false;
    }
    const std::string fields = WithTrailingSeparator(text);
    std::string* outs[] = {&time, &unit, &sealName};
    const int numbers[] = {protocol::kDetailsTimeField, protocol::kDetailsUnitField,
                           protocol::kDetailsSealNameField};
    for (int i = 0; i < 3; ++i) {
        *outs[i] = GetField(fields, protocol::kFieldSeparator, numbers[i]);
        if (outs[i]->empty()) {
            return false;
        }
    }
    return true;
}

}  // namespace qex
