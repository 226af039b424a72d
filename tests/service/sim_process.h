// Runs qex-sealservice on a free loopback port for the length of a test.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace qex::testing {

class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess() { Stop(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the simulator on `dbPath` and waits (generously) until it listens.
    // `extra` goes on the command line after the port options.
    bool Start(const std::string& exe, const std::string& dbPath, const std::string& workDir,
               const std::vector<std::string>& extra = {});
    void Stop();
    int port() const { return port_; }
    std::string Url(const std::string& path = "/qexseal/ws/mycxf") const;

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// Runs `exe` with `args` to its end; its exit code, or -1.
int RunToEnd(const std::string& exe, const std::vector<std::string>& args);

// A fresh folder under the system's temporary folder.
std::string MakeTempDir();
// A loopback port nobody listens on (bound, then released).
int UnusedPort();

}  // namespace qex::testing
