// The simulator's SOAP server on 127.0.0.1: one thread per connection, the
// seven operations of the seal service, fault injection, and plain HTTP
// (GET, and POST for the phone's submit) for pages and admin commands on the
// same port.
#pragma once

#include <string>

namespace qex::sim {

struct ServerOptions {
    int port = 0;              // 0: any free port
    std::string dbPath;
    std::string wwwDir;        // static pages; empty: none
    std::string portFile;      // written with the bound port once listening
    // The host name or address that phones use to reach the simulator; the
    // capture QR codes carry it. The server itself listens on loopback only.
    std::string publicHost = "127.0.0.1";
};

// Runs until the process is stopped; returns a process exit code on failure.
int RunServer(const ServerOptions& options);

}  // namespace qex::sim
