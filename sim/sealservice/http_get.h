// Plain HTTP on the simulator's port: static pages from a folder, the demo
// sealing page at / and /demo, the library it loads at /sdk/qexseal.js (and
// .mjs), the capture web side (capture_web.h), and
// admin commands for tests and demos:
//   /admin/fault?mode=M                      set the fault mode ("none" to clear)
//   /admin/finish-capture?id=I&url=U&data=D  complete a handwriting capture
//   /admin/last-log                          the text of the newest seal log entry, raw bytes
//   /admin/last-request                      the newest SOAP request as received (headers and body)
#pragma once

#include <string>

#include "sim/sealservice/store.h"

namespace qex::sim {

// The complete HTTP response to a GET of `path` (with its query).
std::string HandleGet(Store& store, const std::string& wwwDir, const std::string& path);

// True for the paths whose POSTs are web requests rather than SOAP calls.
bool IsWebPost(const std::string& path);
// The complete HTTP response to a POST of `body` to `path`; `publicBase` is
// the simulator's own address as phones reach it.
std::string HandlePost(Store& store, const std::string& publicBase, const std::string& path,
                       const std::string& body);

// Percent-decoding of one query value ("+" is a space).
std::string UrlDecode(const std::string& text);
// The value of `name` in the query "a=1&b=2", decoded; empty when absent.
std::string QueryValue(const std::string& query, const std::string& name);

}  // namespace qex::sim
