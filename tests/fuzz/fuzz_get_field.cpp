// GetField on arbitrary text and delimiter: every field it returns is a
// piece of the text that a delimiter follows, and the fields put back
// together with their delimiters are a prefix of the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "service/field.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // First byte: delimiter length (0..7); then the delimiter, then the text.
    const std::size_t dlen = data[0] % 8;
    if (size < 1 + dlen) return 0;
    const std::string delim(reinterpret_cast<const char*>(data + 1), dlen);
    const std::string text(reinterpret_cast<const char*>(data + 1 + dlen), size - 1 - dlen);
    std::string rebuilt;
    for (int n = 0; n < 64; ++n) {
        const std::string field = qex::GetField(text, delim, n);
        if (field.size() > text.size()) std::abort();
        if (delim.empty()) {
            if (!field.empty()) std::abort();
            continue;
        }
        if (field.empty() && rebuilt.size() + delim.size() > text.size()) break;
        rebuilt += field;
        rebuilt += delim;
        if (rebuilt.size() > text.size()) break;
        if (text.compare(0, rebuilt.size(), rebuilt) != 0 && !field.empty()) std::abort();
    }
    return 0;
}
