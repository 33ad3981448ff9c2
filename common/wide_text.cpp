// Wide-to-UTF-8 by hand: the locale's converters depend on the environment, this must not.
#include "common/wide_text.h"

#include <cstdint>
#include <type_traits>

namespace qv7 {

std::string wideToUtf8(const wchar_t* text) {
    std::string s;
    if (!text) return s;
    for (; *text; ++text) {
        // Through the unsigned type of the same width: a negative wchar_t is out of range, not sign-extended.
        auto c = static_cast<uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(*text));
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        if (c < 0x80) {
            s += static_cast<char>(c);
        } else if (c < 0x800) {
            s += static_cast<char>(0xC0 | (c >> 6));
            s += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            s += static_cast<char>(0xE0 | (c >> 12));
            s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            s += static_cast<char>(0xF0 | (c >> 18));
            s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return s;
}

}  // namespace qv7
