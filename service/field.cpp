#include "service/field.h"

#include "service/protocol.h"

namespace qex {

std::string GetField(const std::string& text, const std::string& delimiter, int n) {
    // An empty delimiter would match at every position without advancing.
    if (delimiter.empty() || n < 0) {
        return std::string();
    }
    std::string::size_type start = 0;
    std::string::size_type found = text.find(delimiter, start);
    for (int field = 0; found != std::string::npos; ++field) {
        if (field == n) {
            return text.substr(start, found - start);
        }
        start = found + delimiter.size();
        found = text.find(delimiter, start);
    }
    return std::string();
}

std::string WithTrailingSeparator(const std::string& reply) {
    return reply + protocol::kFieldSeparator;
}

}  // namespace qex
