// UTF-8 to GBK through glibc's iconv, standing in for the Windows ANSI
// conversion (code page 936) in native tests.
#pragma once

#include <iconv.h>

#include <string>

#include "core/platform.h"

namespace qex::testing {

class IconvCodePage : public ICodePage {
public:
    std::string Utf8ToAnsi(const std::string& utf8) override {
        iconv_t cd = iconv_open("GBK//TRANSLIT", "UTF-8");
        std::string out(utf8.size() * 2 + 4, '\0');
        char* in = const_cast<char*>(utf8.data());
        size_t inLeft = utf8.size();
        char* o = out.data();
        size_t outLeft = out.size();
        while (inLeft > 0) {
            if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<size_t>(-1)) {
                // Like Windows: a character that cannot be converted becomes '?'.
                *o++ = '?';
                --outLeft;
                ++in;
                --inLeft;
            }
        }
        iconv_close(cd);
        out.resize(out.size() - outLeft);
        return out;
    }
};

}  // namespace qex::testing
