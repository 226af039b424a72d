// Text between a code page (the system's ANSI code page 936 unless said
// otherwise) and UTF-16, for the calls and COM strings that take UTF-16. The
// one converter of the client, the control and the simulators.
#pragma once

#include "core/win/win32.h"

#include <string>
#include <string_view>

namespace qex::win {

// Nothing is rejected: what the code page cannot express becomes the
// system's default character. `exact`, when given, tells whether nothing
// had to be replaced (converting to a code page only).
inline std::wstring ToWide(std::string_view text, UINT codePage = CP_ACP) {
    if (text.empty()) return std::wstring();
    const int n = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

inline std::string FromWide(std::wstring_view text, UINT codePage = CP_ACP, bool* exact = nullptr) {
    if (exact) *exact = true;
    if (text.empty()) return std::string();
    // Best-fit mapping would turn a character the code page lacks into a
    // look-alike; for exact conversions only the default character tells.
    const DWORD flags = exact ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL usedDefault = FALSE;
    BOOL* reportDefault = exact && codePage != CP_UTF8 ? &usedDefault : nullptr;
    const int size = static_cast<int>(text.size());
    const int n = ::WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, nullptr, reportDefault);
    if (n <= 0) {
        if (exact) *exact = false;
        return std::string();
    }
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, flags, text.data(), size, &out[0], n, nullptr, reportDefault);
    if (exact && usedDefault) *exact = false;
    return out;
}

}  // namespace qex::win
