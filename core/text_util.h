// Byte-wise text helpers on ANSI strings.
#pragma once

#include <string>

namespace qex {

bool Contains(const std::string& text, const std::string& needle);
// Exactly the first prefix.size() bytes compared (case-sensitive).
bool StartsWith(const std::string& text, const std::string& prefix);

}  // namespace qex
