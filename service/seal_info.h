// The seal details of the key: what a sign request needs to know about the
// seal before it signs (when it was issued, the owning unit, its name).
#pragma once

#include <string>

#include "service/seal_service.h"

namespace qex {

// Asks the service for the details of the seal of `certHashBase64` and takes
// the decoded reply apart. On success `time`, `unit` and `sealName` hold
// fields 0, 1 and 2 (all non-empty). On failure:
//   - empty reply: the three texts are left as they were;
//   - refusal ("QEXERROR") or no field separator: `time` holds the whole
//     decoded text, for the caller's error reply;
//   - an empty field: the fields up to it have been stored.
bool QuerySealInfo(ISealService& service, const std::string& certHashBase64, std::string& time,
                   std::string& unit, std::string& sealName);

}  // namespace qex
