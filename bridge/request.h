// The sign request grammar of the local bridge and the decoding of the unit
// name. Pure functions on the bytes the listener received.
#pragma once

#include <string>

#include "core/platform.h"

namespace qex::bridge {

enum class RequestKind {
    kNoData,          // no "?data=" or no "QEXDATAEND": no reply at all
    kUserWithoutEnd,  // "&user=" present but only one end marker: no reply
    kSign,            // a sign request S was cut out
};

struct CutRequest {
    RequestKind kind = RequestKind::kNoData;
    std::string sign;  // S: "?data=" ... up to its last marker, ending with "QEXDATAEND"
};

// Cuts the sign request S out of the received text R.
CutRequest CutSignRequest(const std::string& received);

// What a sign request S carries.
struct SignRequest {
    bool hasUnit = false;
    std::string rawUnit;  // the percent-encoded unit between "&user=" and its marker
    std::string data;     // D, exactly as written (no decoding)
    std::string plain;    // P: D without any "QEXDATAEND", plus one "QEXDATAEND"
};

// Splits S (which CutSignRequest made) into data and unit.
SignRequest SplitSignRequest(const std::string& sign);

// Percent-decodes `text` ("+" stays, bad or truncated escapes stay as they
// are), takes the bytes up to the first NUL as UTF-8 and converts them to
// the ANSI code page.
std::string DecodeUrlText(const std::string& text, ICodePage& codePage);

// Percent-decoding alone (the first step of DecodeUrlText).
std::string PercentDecode(const std::string& text);

}  // namespace qex::bridge
