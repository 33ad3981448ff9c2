// The GBK text module: exact round trips, refusal instead of mangling, byte-length limits.
#include "common/gbk_text.h"

#include <gtest/gtest.h>

#include "hex.h"

namespace qv7 {
namespace {

using test::hex;

std::string str(const test::Bytes& b) { return std::string(b.begin(), b.end()); }

struct RoundTrip {
    const char* utf8;
    const char* gbkHex;
};

TEST(GbkText, ConvertsBothWaysExactly) {
    const RoundTrip cases[] = {
        {"abc", "61 62 63"},
        {"原声默认", "D4 AD C9 F9 C4 AC C8 CF"},
        {"唱歌03", "B3 AA B8 E8 30 33"},
        {"喊麦", "BA B0 C2 F3"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        const std::string gbk = str(hex(c.gbkHex));
        EXPECT_EQ(gbk::fromUtf8(c.utf8), gbk);
        EXPECT_EQ(gbk::toUtf8(gbk), std::string(c.utf8));
        EXPECT_EQ(gbk::byteLength(c.utf8), gbk.size());
    }
}

TEST(GbkText, RefusesWhatGbkCannotHoldInsteadOfMangling) {
    const char* refused[] = {"한", "ab😀", "ä", "\xFF\xFE", "\xE5\x8E"};  // last two: not UTF-8
    for (const char* s : refused) {
        SCOPED_TRACE(s);
        EXPECT_EQ(gbk::fromUtf8(s), std::nullopt);
        EXPECT_EQ(gbk::byteLength(s), std::nullopt);
    }
}

TEST(GbkText, InvalidGbkIsRefusedStrictlyAndMarkedForDisplay) {
    const std::string truncated = str(hex("61 D4"));    // lead byte without its trail
    const std::string badTrail = str(hex("D4 7F 62"));  // 0x7F is never a trail byte
    EXPECT_EQ(gbk::toUtf8(truncated), std::nullopt);
    EXPECT_EQ(gbk::toUtf8(badTrail), std::nullopt);
    EXPECT_EQ(gbk::toUtf8Display(truncated), "a\xEF\xBF\xBD");
    EXPECT_EQ(gbk::toUtf8Display(str(hex("D4 AD"))), "原");
}

TEST(GbkText, FitsWholeCharactersIntoTheByteLimit) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"原声默认唱歌", "原声默认唱"},  // 12 bytes -> 10
        {"abcdefghijk", "abcdefghij"},
        {"a原声默认唱", "a原声默认"},  // the fifth character would need bytes 10 and 11
        {"ab原声默认", "ab原声默认"},
        {"ab😀cd", "ab"},  // stops at what cannot be stored
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(gbk::fitToBytes(c.in, 10), c.out);
    }
}

TEST(GbkText, NameFieldsEndAtTheirFirstZero) {
    EXPECT_EQ(gbk::textUpToZero(hex("61 62 00 63")), "ab");
    EXPECT_EQ(gbk::textUpToZero(hex("61 62")), "ab");
    EXPECT_EQ(gbk::textUpToZero(hex("00 61")), "");
}

}  // namespace
}  // namespace qv7
