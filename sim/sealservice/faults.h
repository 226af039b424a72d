// Fault injection: how the simulator answers instead of a normal reply, so
// tests can show what the client does with each kind of trouble. The mode is
// the "fault" setting of the store, read at every request.
#pragma once

#include <string>

namespace qex::sim {

enum class FaultKind {
    kNone,          // normal gSOAP reply (SOAP 1.1, the client's own version)
    kSoap12,        // normal reply text in a SOAP 1.2 envelope
    kSoap11Fault,   // HTTP 500 with a SOAP 1.1 Fault
    kSoap12Fault,   // HTTP 500 with a SOAP 1.2 Fault
    kFault200,      // a SOAP 1.1 Fault with HTTP status 200
    kNoReturn,      // the response element without its return child
    kNilReturn,     // <return xsi:nil="true"/>
    kWrongElement,  // a response element of another operation
    kHttpError,     // HTTP 503 with a plain text body
    kNotXml,        // HTTP 200 with a body that is not XML
    kClose,         // the connection is closed without an answer
    kDelay,         // a normal reply after delayMs
    // Handwriting captures; every other request is answered normally.
    kRefuseOpen,    // "1@@@@HW" is refused with QEXERROR
    kRefusePoll,    // polls of an open capture are refused with QEXERROR
    kNeverFinish,   // polls answer "still waiting" even after a submit
};

struct FaultMode {
    FaultKind kind = FaultKind::kNone;
    long delayMs = 0;
};

// "none", "soap12", "soap11-fault", "soap12-fault", "fault-200", "no-return",
// "nil-return", "wrong-element", "http-error", "not-xml", "close",
// "delay:<ms>", "refuse-open", "refuse-poll", "never". Unknown texts give false.
bool ParseFaultMode(const std::string& text, FaultMode* mode);
// The modes for --help.
const char* FaultModeNames();
// True for the modes that change what captures answer rather than how the
// reply travels.
bool IsCaptureFault(FaultKind kind);

// The whole HTTP response for `mode` (not kNone, kDelay or kClose) to the
// operation `operation` whose normal reply would be `reply`.
std::string FaultResponse(const FaultMode& mode, const std::string& operation,
                          const std::string& reply);

// `text` (code page 936 bytes) as XML character data, one character per
// byte, the way the client's single-byte gSOAP writes it.
std::string XmlText(const std::string& text);

// A complete HTTP/1.1 response that closes the connection.
std::string HttpResponse(int status, const std::string& contentType, const std::string& body);

}  // namespace qex::sim
