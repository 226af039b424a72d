// Cutting protocol replies into fields.
#pragma once

#include <string>

namespace qex {

// The n-th field (from 0) of `text` cut at `delimiter`. A field exists only
// when a delimiter follows it, so the text after the last delimiter is never
// a field: callers append one separator to a reply before cutting it.
// Empty when the field does not exist (or the delimiter is empty).
std::string GetField(const std::string& text, const std::string& delimiter, int n);

// `reply` + the protocol's field separator, the form GetField expects.
std::string WithTrailingSeparator(const std::string& reply);

}  // namespace qex
