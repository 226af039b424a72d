// What the client takes from each kind of seal service reply. The callers
// (login, login command, handwriting dialog and wait thread) decide what to
// show; these only read the text protocol.
#pragma once

#include <string>

namespace qex {

// Login check (queryUkImgByCerBase64): the reply must start with "QEXRET:";
// the rest is the seal image URL (possibly empty).
bool ParseLoginCheckReply(const std::string& reply, std::string* sealImgUrl);

// Login query ("3@@@@" + digest).
struct LoginQueryReply {
    bool ok = false;                // "QEXRET" occurs anywhere in the reply
    std::string webUrl;             // field 1
    bool openWebUrl = false;        // field 1 is not "NOURL" (ignoring case)
    bool needHandwriting = false;   // field 2 is "1" (ignoring case)
};
LoginQueryReply ParseLoginQueryReply(const std::string& reply);

// Handwriting request ("1@@@@HW").
enum class CaptureOpenResult {
    kOpened,     // starts with "QEXRET" (case-sensitive): id and QR data follow
    kRefused,    // "QEXERROR" anywhere
    kDataError,  // anything else, the empty reply included
};
CaptureOpenResult ParseCaptureOpenReply(const std::string& reply, std::string* captureId,
                                        std::string* qrImageData);

// Handwriting poll ("2@@@@" + id). For a reply that starts with the marker
// both out texts receive fields 1 and 2, empty or not; for any other reply
// they are left as they are.
enum class CapturePollResult {
    kFinished,       // starts with "QEXRET", fields 1 and 2 both non-empty
    kRefused,        // "QEXERROR" anywhere: the wait ends
    kPending,        // starts with "QEXRET" but a field is still empty: not counted
    kPendingCounted, // anything else (the empty reply included): counts towards the limit
};
CapturePollResult ParseCapturePollReply(const std::string& reply, std::string* imageUrl,
                                        std::string* imageData);

}  // namespace qex
