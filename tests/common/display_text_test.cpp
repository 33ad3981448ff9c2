// The escaping of outside text shown as plain text: what is kept, what is written as an escape.
#include "common/display_text.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace qv7
