// Wide strings from hidapi to UTF-8: every length of encoding, and nothing invalid let through.
#include "common/wide_text.h"

#include <gtest/gtest.h>

namespace qv7 {
namespace {

TEST(WideText, EncodesEveryRangeAndReplacesWhatIsNoCharacter) {
    struct Case {
        std::wstring wide;
        std::string utf8;
    };
    const Case cases[] = {
        {L"", ""},
        {L"0416:1290 ABC", "0416:1290 ABC"},
        {L"\u00e9", "\xc3\xa9"},
        {L"\u5531\u6b4c", "唱歌"},
        {L"\U0001F3A4", "\xf0\x9f\x8e\xa4"},
        {std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x", "\xef\xbf\xbdx"},  // a lone surrogate
        {std::wstring(1, static_cast<wchar_t>(0x110000)), "\xef\xbf\xbd"},        // beyond Unicode
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wideToUtf8(c.wide.c_str()), c.utf8);
    }
    EXPECT_EQ(wideToUtf8(nullptr), "");
}

}  // namespace
}  // namespace qv7
