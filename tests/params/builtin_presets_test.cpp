// The 62 built-in presets: names, values and validity on every firmware.
#include "params/builtin_presets.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace qv7 {
namespace {

TEST(BuiltinPresets, EveryNameRoundTripsThroughGbk) {
    const auto presets = BuiltinPresets();
    ASSERT_EQ(presets.size(), 62u);
    for (std::size_t i = 0; i < presets.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string utf8(builtinPresetUtf8Name(i));
        const std::string gbk = presets[i].nameBytes();
        EXPECT_EQ(gbk::toUtf8(gbk), utf8);
        EXPECT_EQ(gbk::fromUtf8(utf8), gbk);
        EXPECT_TRUE(gbk.size() == 6 || gbk.size() == 8) << gbk.size();
        for (std::size_t b = gbk.size(); b < kPresetNameArea; ++b) EXPECT_EQ(presets[i].name[b], 0) << b;
    }
}

TEST(BuiltinPresets, EveryPresetPassesTheCheckOnEveryFirmware) {
    const std::function<bool(int)> firmware[] = {
        [](int) { return false; },       // 1.0.0, or an unknown version
        [](int n) { return 102 > n; },   // 1.0.2
        [](int) { return true; },        // the newest
    };
    for (const auto& above : firmware)
        for (const auto& p : BuiltinPresets()) EXPECT_EQ(checkParameterSet(p.set, 30, above), 0) << p.displayName();
}

TEST(BuiltinPresets, RowsHoldTheTabledBytes) {
    struct Row {
        std::size_t index;
        const char* name;
        test::Bytes bytes;
    };
    const Row rows[] = {
        {0, "原声默认", {14, 14, 14, 14, 0, 0, 0, 0, 10, 3, 12, 0, 2, 0, 9, 0, 10, 0, 24, 24, 24, 24, 24, 24, 24, 4, 4, 7, 1, 20}},
        {5, "唱歌03", {13, 13, 13, 13, 1, 0, 0, 13, 13, 2, 13, 0, 1, 2, 9, 0, 13, 1, 16, 18, 21, 24, 27, 32, 36, 2, 2, 2, 5, 2}},
        {32, "喊麦03", {14, 14, 14, 14, 2, 0, 1, 14, 14, 2, 10, 0, 2, 0, 9, 0, 10, 1, 21, 21, 29, 35, 34, 27, 27, 6, 4, 4, 17, 1}},
        {45, "电话音01", {13, 13, 13, 13, 1, 0, 0, 10, 10, 3, 12, 0, 2, 20, 9, 0, 10, 1, 0, 1, 0, 0, 48, 48, 0, 2, 3, 4, 1, 1}},
        {61, "变声12", {13, 13, 13, 13, 0, 0, 0, 13, 13, 0, 1, 2, 1, 2, 0, 0, 13, 1, 24, 24, 24, 24, 24, 24, 24, 2, 2, 2, 10, 10}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const auto& p = BuiltinPresets()[r.index];
        EXPECT_EQ(p.displayName(), r.name);
        const auto b = p.set.bytes();
        EXPECT_EQ(test::Bytes(b.begin(), b.end()), r.bytes);
    }
}

}  // namespace
}  // namespace qv7
