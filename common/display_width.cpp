// Display width by the East Asian Width property's wide and fullwidth ranges; no locale, so it is the same everywhere.
#include "common/display_width.h"

#include <array>
#include <cstdint>
#include <utility>

namespace qv7 {

namespace {

// The ranges of East Asian Wide (W) and Fullwidth (F) characters names are made of.
constexpr std::array<std::pair<uint32_t, uint32_t>, 15> kWide = {{
    {0x1100, 0x115F},    // Hangul Jamo initials
    {0x2E80, 0x303E},    // CJK radicals, ideographic description, CJK symbols and punctuation
    {0x3041, 0x33FF},    // kana, bopomofo, Hangul compatibility, CJK compatibility
    {0x3400, 0x4DBF},    // CJK extension A
    {0x4E00, 0x9FFF},    // CJK unified ideographs
    {0xA000, 0xA4CF},    // Yi
    {0xAC00, 0xD7A3},    // Hangul syllables
    {0xF900, 0xFAFF},    // CJK compatibility ideographs
    {0xFE30, 0xFE4F},    // CJK compatibility forms
    {0xFF00, 0xFF60},    // fullwidth forms
    {0xFFE0, 0xFFE6},    // fullwidth signs
    {0x1F300, 0x1F64F},  // pictographs and emoticons
    {0x1F900, 0x1F9FF},  // supplemental pictographs
    {0x20000, 0x2FFFD},  // CJK extensions B and later
    {0x30000, 0x3FFFD},  // CJK extension G
}};

bool wide(uint32_t c) {
    for (const auto& [first, last] : kWide)
        if (c >= first && c <= last) return true;
    return false;
}

// The character at `at` and how many bytes it takes; a byte that starts none is U+FFFD of one byte.
std::pair<uint32_t, std::size_t> next(std::string_view s, std::size_t at) {
    const auto b = static_cast<unsigned char>(s[at]);
    std::size_t length = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || at + length > s.size()) return {0xFFFD, 1};
    uint32_t c = length == 1 ? b : b & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto t = static_cast<unsigned char>(s[at + i]);
        if ((t & 0xC0) != 0x80) return {0xFFFD, 1};
        c = (c << 6) | (t & 0x3F);
    }
    return {c, length};
}

}  // namespace

std::size_t displayWidth(std::string_view utf8) {
    std::size_t columns = 0;
    for (std::size_t at = 0; at < utf8.size();) {
        const auto [c, length] = next(utf8, at);
        columns += wide(c) ? 2 : 1;
        at += length;
    }
    return columns;
}

std::string padToWidth(std::string_view utf8, std::size_t columns) {
    std::string out(utf8);
    const std::size_t width = displayWidth(utf8);
    if (width < columns) out.append(columns - width, ' ');
    return out;
}

}  // namespace qv7
