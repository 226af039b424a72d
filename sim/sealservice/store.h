// The simulator's storage: one SQLite file shared by the server and the
// command-line tools (each operation opens, works and closes, so a CLI call
// and a running server see each other's changes at once).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qex::sim {

// A seal registered for one key. Texts are code page 936 bytes.
struct Seal {
    std::string certHash;   // Base64 of SHA-256 of the DER signing certificate
    std::string imageUrl;
    std::string unit;
    std::string name;
    std::string webUrl;     // or "NOURL"
    bool needHandwriting = false;
    std::string created;    // "YYYY-MM-DD HH:MM:SS", set by the store
};

struct SealLogEntry {
    long id = 0;
    std::string certHash;
    std::string text;
    std::string at;
};

struct Capture {
    std::string id;
    bool finished = false;
    std::string imageUrl;
    std::string imageData;
};

class Store {
public:
    explicit Store(std::string path);
    // Creates the tables when missing; false (with a message on stderr) when
    // the file cannot be opened.
    bool Init();

    bool PutSeal(const Seal& seal);   // insert or replace
    std::optional<Seal> FindSeal(const std::string& certHash);

    bool AddLog(const std::string& certHash, const std::string& text);
    std::vector<SealLogEntry> Logs();

    // A new unfinished capture; its id, or empty on failure.
    std::string OpenCapture();
    std::optional<Capture> FindCapture(const std::string& id);
    bool FinishCapture(const std::string& id, const std::string& imageUrl,
                       const std::string& imageData);
    // FinishCapture for a capture that is still open: of two phones that
    // submit at once, exactly one wins.
    bool FinishOpenCapture(const std::string& id, const std::string& imageUrl,
                           const std::string& imageData);

    // Named settings (the fault mode), empty when unset.
    std::string Setting(const std::string& key);
    bool SetSetting(const std::string& key, const std::string& value);

    // The raw HTTP requests the server received, newest last (the last few
    // are kept), so tests can look at what went over the wire.
    bool AddRequest(const std::string& raw);
    std::vector<std::string> Requests();

private:
    std::string path_;
};

std::string NowText();

}  // namespace qex::sim
