#include "sim/sealservice/store.h"

#include <sqlite3.h>

#include <cstdio>
#include <ctime>
#include <random>

namespace qex::sim {
namespace {

constexpr int kKeptRequests = 50;

constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS seals(cert_hash TEXT PRIMARY KEY, image_url BLOB, unit BLOB,"
    " name BLOB, web_url BLOB, need_hw INTEGER, created TEXT);"
    "CREATE TABLE IF NOT EXISTS seal_log(id INTEGER PRIMARY KEY AUTOINCREMENT, cert_hash BLOB,"
    " text BLOB, at TEXT);"
    "CREATE TABLE IF NOT EXISTS captures(id TEXT PRIMARY KEY, finished INTEGER, image_url BLOB,"
    " image_data BLOB, created TEXT);"
    "CREATE TABLE IF NOT EXISTS settings(key TEXT PRIMARY KEY, value TEXT);"
    "CREATE TABLE IF NOT EXISTS requests(id INTEGER PRIMARY KEY AUTOINCREMENT, raw BLOB);";

// One open database, closed on scope exit.
class Db {
public:
    explicit Db(const std::string& path) {
        if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
            std::fprintf(stderr, "qex-sealservice: cannot open %s: %s\n", path.c_str(),
                         db_ ? sqlite3_errmsg(db_) : "out of memory");
            sqlite3_close(db_);
            db_ = nullptr;
            return;
        }
        // The server threads and the CLI write to the same file.
        sqlite3_busy_timeout(db_, 10000);
    }
    ~Db() { sqlite3_close(db_); }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;
    sqlite3* get() const { return db_; }
    explicit operator bool() const { return db_ != nullptr; }

private:
    sqlite3* db_ = nullptr;
};

// One prepared statement with blob/text binding by position (from 1).
class Stmt {
public:
    Stmt(const Db& db, const char* sql) {
        if (db && sqlite3_prepare_v2(db.get(), sql, -1, &stmt_, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "qex-sealservice: %s\n", sqlite3_errmsg(db.get()));
            stmt_ = nullptr;
        }
    }
    ~Stmt() { sqlite3_finalize(stmt_); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    explicit operator bool() const { return stmt_ != nullptr; }
    // Texts are bound as blobs: they are code page 936 bytes, not UTF-8.
    Stmt& Bind(int i, const std::string& v) {
        if (stmt_) sqlite3_bind_blob(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& BindText(int i, const std::string& v) {
        if (stmt_) sqlite3_bind_text(stmt_, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& Bind(int i, long v) {
        if (stmt_) sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    bool Step() { return stmt_ && sqlite3_step(stmt_) == SQLITE_ROW; }
    bool Run() { return stmt_ && sqlite3_step(stmt_) == SQLITE_DONE; }
    std::string Text(int col) const {
        const void* p = sqlite3_column_blob(stmt_, col);
        const int n = sqlite3_column_bytes(stmt_, col);
        return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
    }
    long Int(int col) const { return static_cast<long>(sqlite3_column_int64(stmt_, col)); }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

std::string RandomId() {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    char buf[17];
    std::snprintf(buf, sizeof(buf), "%016llx", static_cast<unsigned long long>(rng()));
    return buf;
}

}  // namespace

std::string NowText() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof(buf), "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

Store::Store(std::string path) : path_(std::move(path)) {}

bool Store::Init() {
    Db db(path_);
    if (!db) return false;
    char* error = nullptr;
    if (sqlite3_exec(db.get(), kSchema, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "qex-sealservice: %s\n", error ? error : "schema failed");
        sqlite3_free(error);
        return false;
    }
    return true;
}

bool Store::PutSeal(const Seal& seal) {
    Db db(path_);
    Stmt s(db, "INSERT OR REPLACE INTO seals VALUES(?,?,?,?,?,?,?)");
    s.BindText(1, seal.certHash).Bind(2, seal.imageUrl).Bind(3, seal.unit).Bind(4, seal.name);
    s.Bind(5, seal.webUrl).Bind(6, seal.needHandwriting ? 1L : 0L).BindText(7, NowText());
    return s.Run();
}

std::optional<Seal> Store::FindSeal(const std::string& certHash) {
    Db db(path_);
    Stmt s(db, "SELECT cert_hash,image_url,unit,name,web_url,need_hw,created FROM seals WHERE cert_hash=?");
    s.BindText(1, certHash);
    if (!s.Step()) return std::nullopt;
    Seal seal;
    seal.certHash = s.Text(0);
    seal.imageUrl = s.Text(1);
    seal.unit = s.Text(2);
    seal.name = s.Text(3);
    seal.webUrl = s.Text(4);
    seal.needHandwriting = s.Int(5) != 0;
    seal.created = s.Text(6);
    return seal;
}

bool Store::AddLog(const std::string& certHash, const std::string& text) {
    Db db(path_);
    Stmt s(db, "INSERT INTO seal_log(cert_hash,text,at) VALUES(?,?,?)");
    s.Bind(1, certHash).Bind(2, text).BindText(3, NowText());
    return s.Run();
}

std::vector<SealLogEntry> Store::Logs() {
    Db db(path_);
    Stmt s(db, "SELECT id,cert_hash,text,at FROM seal_log ORDER BY id");
    std::vector<SealLogEntry> out;
    while (s.Step()) {
        out.push_back({s.Int(0), s.Text(1), s.Text(2), s.Text(3)});
    }
    return out;
}

std::string Store::OpenCapture() {
    Db db(path_);
    const std::string id = RandomId();
    Stmt s(db, "INSERT INTO captures VALUES(?,0,'','',?)");
    s.BindText(1, id).BindText(2, NowText());
    return s.Run() ? id : std::string();
}

std::optional<Capture> Store::FindCapture(const std::string& id) {
    Db db(path_);
    Stmt s(db, "SELECT id,finished,image_url,image_data FROM captures WHERE id=?");
    s.BindText(1, id);
    if (!s.Step()) return std::nullopt;
    return Capture{s.Text(0), s.Int(1) != 0, s.Text(2), s.Text(3)};
}

bool Store::FinishCapture(const std::string& id, const std::string& imageUrl,
                          const std::string& imageData) {
    Db db(path_);
    Stmt s(db, "UPDATE captures SET finished=1,image_url=?,image_data=? WHERE id=?");
    s.Bind(1, imageUrl).Bind(2, imageData).BindText(3, id);
    return s.Run() && sqlite3_changes(db.get()) == 1;
}

bool Store::FinishOpenCapture(const std::string& id, const std::string& imageUrl,
                              const std::string& imageData) {
    Db db(path_);
    Stmt s(db, "UPDATE captures SET finished=1,image_url=?,image_data=? WHERE id=? AND finished=0");
    s.Bind(1, imageUrl).Bind(2, imageData).BindText(3, id);
    return s.Run() && sqlite3_changes(db.get()) == 1;
}

std::string Store::Setting(const std::string& key) {
    Db db(path_);
    Stmt s(db, "SELECT value FROM settings WHERE key=?");
    s.BindText(1, key);
    return s.Step() ? s.Text(0) : std::string();
}

bool Store::SetSetting(const std::string& key, const std::string& value) {
    Db db(path_);
    Stmt s(db, "INSERT OR REPLACE INTO settings VALUES(?,?)");
    s.BindText(1, key).BindText(2, value);
    return s.Run();
}

bool Store::AddRequest(const std::string& raw) {
    Db db(path_);
    Stmt add(db, "INSERT INTO requests(raw) VALUES(?)");
    add.Bind(1, raw);
    if (!add.Run()) return false;
    Stmt trim(db, "DELETE FROM requests WHERE id <= (SELECT MAX(id) FROM requests) - ?");
    trim.Bind(1, static_cast<long>(kKeptRequests));
    return trim.Run();
}

std::vector<std::string> Store::Requests() {
    Db db(path_);
    Stmt s(db, "SELECT raw FROM requests ORDER BY id");
    std::vector<std::string> out;
    while (s.Step()) out.push_back(s.Text(0));
    return out;
}

}  // namespace qex::sim
