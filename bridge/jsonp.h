// The JSONP replies of the bridge: one call of sealInfoHandler with a flat
// object of strings.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace qex::bridge {

// Escapes a code page 936 text for a JSON string: '"', '\\' and control
// characters. The second byte of a two-byte character (0x40 to 0xFE, which
// includes 0x5C) is copied as it is, so Chinese text is never broken. A
// lead byte without its second byte is kept too, except right before a
// character that gets a backslash (the decoder would pair it with that
// backslash): there it becomes '?'. Ordinary values come out unchanged.
std::string JsonEscape(const std::string& value);

using Members = std::vector<std::pair<std::string, std::string>>;

// "sealInfoHandler({"K":"V",...});" with no blanks.
std::string BuildReply(const Members& members);

// The failure and waiting replies: STATUS and ERR only.
std::string StatusReply(const std::string& status, const std::string& err);

}  // namespace qex::bridge
