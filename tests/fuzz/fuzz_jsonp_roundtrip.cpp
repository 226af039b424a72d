// A reply built around any value, read back as a browser reads it (GBK
// decoder, then JSON): the reply always keeps its shape (every member is
// there, the members after the value are untouched), and a value that is
// clean GBK text comes back character for character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "bridge/jsonp.h"
#include "tests/support/gbk_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string value(reinterpret_cast<const char*>(data), size);
    const std::string reply = qex::bridge::BuildReply({{"PLAIN", value}, {"HWIMGURL", "h"}, {"STATUS", "0"}});
    const auto members = qex::test::ReadReply(reply);
    if (!members || members->size() != 3) std::abort();
    if ((*members)[0].first != "PLAIN" || (*members)[1].first != "HWIMGURL" || (*members)[2].first != "STATUS")
        std::abort();
    if ((*members)[1].second.size() != 1 || (*members)[1].second[0].bytes != "h") std::abort();
    if ((*members)[2].second.size() != 1 || (*members)[2].second[0].bytes != "0") std::abort();
    const auto alone = qex::test::ReadGbk(value);
    if (qex::test::IsCleanGbk(alone) && !qex::test::SameChars(alone, (*members)[0].second)) std::abort();
    return 0;
}
