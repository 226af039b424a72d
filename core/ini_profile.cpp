#include "core/ini_profile.h"

#include <cstdio>

namespace qex {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

std::string Unquote(const std::string& v) {
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

bool ReadWholeFile(const std::string& path, std::string* text) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text->append(chunk, n);
    std::fclose(f);
    return true;
}

}  // namespace

std::string FindProfileValue(const std::string& fileText, const std::string& section,
                             const std::string& key, bool* found) {
    const std::string wantSection = Trim(section);
    const std::string wantKey = Trim(key);
    *found = false;
    // Lines before the first section header belong to the unnamed section.
    bool inSection = wantSection.empty();
    bool sectionSeen = inSection;
    std::size_t pos = 0;
    while (pos < fileText.size()) {
        std::size_t end = fileText.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = fileText.size();
        const std::string line = Trim(fileText.substr(pos, end - pos));
        pos = end;
        while (pos < fileText.size() && (fileText[pos] == '\r' || fileText[pos] == '\n')) ++pos;
        if (line.empty()) continue;

        if (line[0] == '[') {
            const std::size_t close = line.rfind(']');
            if (close != std::string::npos) {
                if (inSection) return std::string();  // first section of the name ends
                inSection = !sectionSeen && SameName(line.substr(1, close - 1), wantSection);
                sectionSeen = sectionSeen || inSection;
                continue;
            }
        }
        if (!inSection) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (SameName(Trim(line.substr(0, eq)), wantKey)) {
            *found = true;
            return Unquote(Trim(line.substr(eq + 1)));
        }
    }
    return std::string();
}

std::string IniProfileReader::ReadString(const std::string& path, const std::string& section,
                                         const std::string& key, const std::string& fallback,
                                         std::size_t bufferSize) {
    if (bufferSize == 0) return std::string();
    std::string value;
    bool found = false;
    std::string text;
    if (ReadWholeFile(path, &text)) value = FindProfileValue(text, section, key, &found);
    if (!found) {
        value = fallback;
        while (!value.empty() && value.back() == ' ') value.pop_back();
    }
    if (value.size() > bufferSize - 1) value.resize(bufferSize - 1);
    return value;
}

}  // namespace qex
