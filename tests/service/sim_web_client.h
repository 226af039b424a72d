// A plain HTTP/1.1 client for the simulator's port: one request per
// connection, the whole response read until the server closes.
#pragma once

#include <string>

namespace qex::testing {

struct HttpReply {
    int status = 0;          // 0: no parsable response
    std::string headers;     // the header block, status line included
    std::string body;
    std::string Header(const std::string& name) const;   // value, or empty
};

// Sends `request` bytes as they are to 127.0.0.1:`port`.
HttpReply Exchange(int port, const std::string& request);
HttpReply HttpGet(int port, const std::string& path);
HttpReply HttpPost(int port, const std::string& path, const std::string& body,
                   const std::string& contentType = "text/plain");
// The `return` text of queryUkNameByCerBase64(`arg0`) over SOAP 1.1, or
// "(no return)" when the reply holds none.
std::string QueryUkName(int port, const std::string& arg0);

}  // namespace qex::testing
