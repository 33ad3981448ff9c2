// Terminal columns of names: Chinese, Latin, mixed, fullwidth, emoji and broken bytes, and padding to a column.
#include "common/display_width.h"

#include <gtest/gtest.h>

namespace qv7 {
namespace {

TEST(DisplayWidth, WideCharactersTakeTwoColumnsEveryOtherOne) {
    struct Case {
        std::string text;
        std::size_t columns;
    };
    const Case cases[] = {
        {"", 0},
        {"mine", 4},
        {"唱歌03", 6},
        {"原声默认", 8},
        {"喊麦", 4},
        {"ＡＢ", 4},              // fullwidth Latin
        {"a，b", 4},              // fullwidth comma
        {"é", 1},                 // two bytes, one narrow character
        {"\xf0\x9f\x8e\xa4", 2},  // microphone emoji
        {"\xff", 1},              // a byte that starts no character
        {"\xe5\x94", 2},          // a Han character cut short: two stray bytes
        {"\xe5"
         "a",
         2},  // a lead byte followed by no continuation
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(displayWidth(c.text), c.columns);
    }
}

TEST(DisplayWidth, PaddingLinesUpMixedNamesAtOneColumn) {
    struct Case {
        std::string text;
        std::string padded;
    };
    const Case cases[] = {
        {"唱歌03", "唱歌03      "},
        {"mine", "mine        "},
        {"原声默认", "原声默认    "},
        {"abcdefghijklmn", "abcdefghijklmn"},  // wider than the column: as it is
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(padToWidth(c.text, 12), c.padded);
        if (displayWidth(c.text) <= 12) {
            EXPECT_EQ(displayWidth(padToWidth(c.text, 12)), 12u);
        }
    }
}

}  // namespace
}  // namespace qv7
