// The escaping of outside text shown as plain text: what is kept, what is written as an escape.
#include "common/display_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace qv7 {
namespace {

struct EscapeCase {
    std::string in;
    std::string out;
};

TEST(DisplayText, ControlsAreEscapedAndEverythingElseKept) {
    const EscapeCase cases[] = {
        {"QV7SIM0000000001", "QV7SIM0000000001"},
        {"唱歌03 Tolka", "唱歌03 Tolka"},
        {"", ""},
        {"QV7\nOS: forged", "QV7\\nOS: forged"},
        {"a\r\nb\tc", "a\\r\\nb\\tc"},
        {"\x1b[2J\x1b]0;title\x07", "\\x1b[2J\\x1b]0;title\\x07"},
        {std::string("nul\0byte", 8), "nul\\x00byte"},
        {"del\x7f", "del\\x7f"},
        {"back\\slash", "back\\\\slash"},  // so an escape in the text cannot pass for one of ours
        {"csi\xc2\x9b"
         "2J",
         "csi\\u{009b}2J"},                           // C1 control U+009B
        {"line\xe2\x80\xa8sep", "line\\u{2028}sep"},  // U+2028
        {"abc\xe2\x80\xae"
         "cba",
         "abc\\u{202e}cba"},                             // right-to-left override
        {"bad\xff\xfe", "bad\\xff\\xfe"},                // not UTF-8
        {"cut\xe5\x94", "cut\\xe5\\x94"},                // a sequence cut short
        {"over\xc0\x8a", "over\\xc0\\x8a"},              // an overlong line end
        {"\xf0\x9f\x8e\xa4 ok", "\xf0\x9f\x8e\xa4 ok"},  // four bytes, kept
    };
    for (const EscapeCase& c : cases) {
        SCOPED_TRACE(c.out);
        const std::string escaped = escapeControls(c.in);
        EXPECT_EQ(escaped, c.out);
        for (char ch : escaped) EXPECT_FALSE(static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f);
    }
}

// The code points of `s` when it is well-formed UTF-8; nothing when it is not.
std::optional<std::vector<uint32_t>> codePoints(const std::string& s) {
    std::vector<uint32_t> out;
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const std::size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
        if (n == 0 || i + n > s.size()) return std::nullopt;
        uint32_t c = n == 1 ? b : b & (0x7Fu >> n);
        for (std::size_t k = 1; k < n; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) return std::nullopt;
            c = (c << 6) | (t & 0x3Fu);
        }
        out.push_back(c);
        i += n;
    }
    return out;
}

// Whatever bytes come in, what goes out is well-formed UTF-8 without a C0 or C1 control or DEL.
TEST(DisplayText, AnyBytesComeOutAsPrintableUtf8) {
    std::mt19937 random(20);
    for (int round = 0; round < 5000; ++round) {
        std::string in(random() % 48, '\0');
        for (char& c : in) c = static_cast<char>(random() % 256);
        const std::string out = escapeControls(in);
        const auto points = codePoints(out);
        ASSERT_TRUE(points) << out;
        for (uint32_t c : *points) ASSERT_FALSE(c < 0x20 || (c >= 0x7F && c <= 0x9F)) << out;
    }
}

}  // namespace
}  // namespace qv7
