// One escaping rule for every place that shows outside text as plain text: qv7ctl's output and the diagnostics.
#include "common/display_text.h"

#include <cstdint>
#include <cstdio>

namespace qv7 {
namespace {

void appendHexByte(std::string& out, unsigned char b) {
    char buf[5];
    std::snprintf(buf, sizeof buf, "\\x%02x", b);
    out += buf;
}

// Characters past ASCII that a terminal or an editor takes as layout: C1 controls (U+009B starts an
// escape sequence on some terminals), the line and paragraph separators, and the bidirectional controls
// that can make a line read differently from what it holds.
bool isLayoutCharacter(uint32_t c) {
    return (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F || c == 0x061C;
}

// The length of the well-formed UTF-8 sequence at `s` and its code point; 0 when it is not one.
std::size_t decodeUtf8(std::string_view s, uint32_t& c) {
    const auto b0 = static_cast<unsigned char>(s[0]);
    std::size_t n = 0;
    uint32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) n = 2, c = b0 & 0x1Fu, min = 0x80;
    else if (b0 >= 0xE0 && b0 <= 0xEF) n = 3, c = b0 & 0x0Fu, min = 0x800;
    else if (b0 >= 0xF0 && b0 <= 0xF4) n = 4, c = b0 & 0x07u, min = 0x10000;
    else return 0;
    if (s.size() < n) return 0;
    for (std::size_t i = 1; i < n; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80) return 0;
        c = (c << 6) | (b & 0x3Fu);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return n;
}

}  // namespace

std::string escapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto b = static_cast<unsigned char>(text[0]);
        if (b < 0x80) {
            switch (b) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (b < 0x20 || b == 0x7F) appendHexByte(out, b);
                else out += static_cast<char>(b);
            }
            text.remove_prefix(1);
            continue;
        }
        uint32_t c = 0;
        const std::size_t n = decodeUtf8(text, c);
        if (n == 0) {
            appendHexByte(out, b);
            text.remove_prefix(1);
            continue;
        }
        if (isLayoutCharacter(c)) {
            char buf[12];
            std::snprintf(buf, sizeof buf, "\\u{%04x}", static_cast<unsigned>(c));
            out += buf;
        } else {
            out.append(text.substr(0, n));
        }
        text.remove_prefix(n);
    }
    return out;
}

}  // namespace qv7
