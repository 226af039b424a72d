#include "sim/skf/sim_store.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#ifdef _WIN32
#include "core/win/code_page.h"
#endif

namespace qex::sim {

namespace {

#ifdef _WIN32
// The ANSI form of a folder name, or false when the code page cannot hold it
// exactly (Windows would substitute "?" and the name would open nothing).
bool ToAnsi(const std::wstring& wide, std::string* ansi) {
    if (wide.empty()) return false;
    bool exact = false;
    *ansi = win::FromWide(wide, CP_ACP, &exact);
    return exact;
}

fs::path ModuleFolder() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ModuleFolder), &self);
    wchar_t buf[MAX_PATH] = {0};
    DWORD n = GetModuleFileNameW(self, buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return fs::path(L".");
    return fs::path(buf).parent_path();
}
#endif

bool NameOf(const fs::path& p, std::string* name) {
#ifdef _WIN32
    return ToAnsi(p.filename().wstring(), name);
#else
    *name = p.filename().string();
    return !name->empty();
#endif
}

}  // namespace

fs::path Root() {
#ifdef _WIN32
    wchar_t buf[4096];
    DWORD n = GetEnvironmentVariableW(L"QEX_SKF_ROOT", buf, 4096);
    if (n > 0 && n < 4096) {
        std::wstring value(buf, n);
        if (value[0] == L'/') {
            std::replace(value.begin(), value.end(), L'/', L'\\');
            value = L"Z:" + value;
        }
        return fs::path(value);
    }
    return ModuleFolder() / L"skf-root";
#else
    const char* value = std::getenv("QEX_SKF_ROOT");
    if (value && *value) return fs::path(value);
    return fs::path("skf-root");
#endif
}

std::vector<Entry> ListEntries(const fs::path& dir, const char* marker) {
    std::vector<Entry> entries;
    std::error_code ec;
    fs::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code ec2;
        if (!it->is_directory(ec2)) continue;
        std::string name;
        if (!NameOf(it->path(), &name)) continue;
        if (name[0] == '.' || name.size() > kMaxNameLength) continue;
        if (marker && *marker && !IsFile(it->path() / marker)) continue;
        entries.push_back(Entry{name, it->path()});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return entries;
}

bool FindEntry(const fs::path& dir, const char* marker, const std::string& name, Entry* out) {
    for (Entry& e : ListEntries(dir, marker)) {
        if (e.name == name) {
            *out = std::move(e);
            return true;
        }
    }
    return false;
}

bool IsFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

bool ReadFile(const fs::path& p, std::string* content) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return false;
    content->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFile(const fs::path& p, const std::string& content) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(content.data(), (std::streamsize)content.size());
    out.close();
    return !out.fail();
}

std::string IniValue(const std::string& content, const std::string& key) {
    std::istringstream in(content);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string k = line.substr(0, eq);
        while (!k.empty() && (k.back() == ' ' || k.back() == '\t')) k.pop_back();
        if (k != key) continue;
        std::string v = line.substr(eq + 1);
        while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.erase(v.begin());
        while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.pop_back();
        return v;
    }
    return std::string();
}

}  // namespace qex::sim
