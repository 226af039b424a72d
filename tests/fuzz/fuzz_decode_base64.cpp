// DecodeBase64 into buffers of every small size: never writes past the
// room it was given, always reports the full decoded length, and agrees
// with itself when the room is large enough.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "service/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    std::size_t needed = 0;
    qex::DecodeBase64(text, size, nullptr, &needed);
    if (needed > size) std::abort();

    std::vector<unsigned char> full(needed + 1, 0xEE);
    std::size_t cap = needed;
    if (!qex::DecodeBase64(text, size, full.data(), &cap) || cap != needed) std::abort();
    if (full[needed] != 0xEE) std::abort();  // one past the room stays untouched

    for (std::size_t room = 0; room < needed && room < 8; ++room) {
        std::vector<unsigned char> small(room + 1, 0xEE);
        std::size_t c = room;
        if (qex::DecodeBase64(text, size, small.data(), &c)) std::abort();
        if (c != needed) std::abort();
        if (small[room] != 0xEE) std::abort();
    }

    // What decodes, encodes back to a text that decodes to the same bytes.
    const std::string bytes(reinterpret_cast<const char*>(full.data()), needed);
    const std::string again = qex::DecodeBase64(qex::EncodeBase64(bytes));
    if (again != bytes) std::abort();
    return 0;
}
