// Percent-decoding never grows the text and never reads past it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "bridge/request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string decoded = qex::bridge::PercentDecode(text);
    if (decoded.size() > text.size()) std::abort();
    // Text without any '%' is left exactly as it is.
    if (text.find('%') == std::string::npos && decoded != text) std::abort();
    return 0;
}
