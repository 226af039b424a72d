// A reader of Windows profile (INI) files that answers as
// GetPrivateProfileStringA does, for Linux builds and the unit tests:
//   - section and key names match without regard to ASCII case, and the
//     names asked for are trimmed of blanks first;
//   - a line is cut at CR, LF or CR LF; the last line needs no line end;
//   - blanks around names and values are dropped; a value enclosed in a
//     matching pair of ' or " loses the pair;
//   - lines that are neither "[section]" nor "key=value" never match;
//   - the first section of a name and its first key of a name win;
//   - a missing file, section or key yields the fallback (trailing blanks
//     dropped); every answer is cut to bufferSize - 1 bytes.
#pragma once

#include "core/platform.h"

#include <string>

namespace qex {

// Looks up one value in the text of a profile file; `found` tells whether
// the key exists with a value.
std::string FindProfileValue(const std::string& fileText, const std::string& section,
                             const std::string& key, bool* found);

class IniProfileReader : public IProfileReader {
public:
    std::string ReadString(const std::string& path, const std::string& section,
                           const std::string& key, const std::string& fallback,
                           std::size_t bufferSize) override;
};

}  // namespace qex
