// The settings records: layout, field table, range checks and the dumps.
#include "params/parameter_set.h"

#include <gtest/gtest.h>

#include <set>

namespace qv7 {
namespace {

TEST(Layout, NamedFieldsSitAtTheirBytes) {
    ParameterSet s;
    s.micVol = 7;
    s.eqGain[6] = 30;
    s.lpfCutoff = 19;
    const auto b = s.bytes();
    EXPECT_EQ(b[2], 7);
    EXPECT_EQ(b[24], 30);
    EXPECT_EQ(b[29], 19);
    AdvancedSettings a;
    a.noise_ctr = 5;
    EXPECT_EQ(a.bytes()[6], 5);
    for (std::size_t i = 0; i < parameterFields().size(); ++i) EXPECT_EQ(parameterFields()[i].byte, i);
    for (std::size_t i = 0; i < advancedFields().size(); ++i) EXPECT_EQ(advancedFields()[i].byte, i);
}

TEST(FieldTable, CodesAreUniqueAndComplete) {
    std::set<int> codes;
    for (const auto& f : parameterFields())
        if (f.validated) codes.insert(f.code);
    EXPECT_EQ(codes.size(), 29u);
    EXPECT_EQ(*codes.begin(), -30);
    EXPECT_EQ(*codes.rbegin(), -1);
    EXPECT_FALSE(codes.count(-6));
    EXPECT_EQ(findField("eqGain[3]")->byte, 21);
    EXPECT_EQ(findField("denoise_thr")->record, Record::Advanced);
    EXPECT_EQ(findField("nonsense"), nullptr);
}

TEST(Ranges, EdgesByFirmware) {
    ParameterSet ok = ParameterSet::fromBytes(
        {14, 14, 14, 14, 0, 0, 0, 0, 10, 3, 12, 0, 2, 0, 9, 0, 10, 0, 24, 24, 24, 24, 24, 24, 24, 4, 4, 7, 1, 20});
    auto above = [](int limit) { return [limit](int n) { return limit > n; }; };
    struct Case {
        const char* field;
        int value;
        int versionNumber;  // 0: a version string of another form
        int code;
    } cases[] = {{"liveVol", 20, 103, 0},
                 {"liveVol", 20, 102, -3},
                 {"liveVol", 24, 107, 0},
                 {"liveVol", 25, 107, -3},
                 {"liveVol", 17, 0, -3},
                 {"delay", 0, 107, -11},
                 {"auto_poweroff_time", 0, 107, -16},
                 {"effectTone", 11, 107, 0},
                 {"effectTone", 12, 107, -13},
                 {"effectState", 255, 107, 0},
                 {"type", 7, 107, -10},
                 {"hpfCutoff", 21, 107, -30}};
    for (const auto& c : cases) {
        ParameterSet s = ok;
        s.set(findField(c.field)->byte, static_cast<uint8_t>(c.value));
        EXPECT_EQ(checkParameterSet(s, 30, above(c.versionNumber)), c.code) << c.field << "=" << c.value;
    }
    AdvancedSettings a{};
    a.noise_ctr = 200;
    EXPECT_EQ(checkAdvancedSettings(a, above(106)), 0);
    EXPECT_EQ(checkAdvancedSettings(a, above(107)), -7);
    a = {};
    a.erfan = 2;
    a.sample_rate = 2;
    EXPECT_EQ(checkAdvancedSettings(a, above(107)), -2);  // sample_rate before erfan
}

TEST(Dumps, FramesCountersAndOrder) {
    std::vector<std::string> lines;
    auto out = [&](std::string_view l) { lines.emplace_back(l); };
    ParameterSet s;
    s.dodgeSwitch = 1;
    s.effectState = 200;
    DumpParameterSet(s, out);
    ASSERT_EQ(lines.size(), 32u);
    const std::string first = lines.front();
    EXPECT_EQ(lines[1], "dodgeSwitch(1)\n");
    EXPECT_EQ(lines[2], "dodgeThreshold(0)\n");
    EXPECT_EQ(lines[6], "eqGain[0](0)\n");
    EXPECT_EQ(lines[30], "effectState(200)\n");
    EXPECT_EQ(first.substr(0, 13), "------------(");
    EXPECT_EQ(first.substr(first.size() - 23), " start)---------------\n");

    lines.clear();
    DumpAdvancedSettings(AdvancedSettings{0, 1, 0, 0, 0, 0, 3}, out);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[1], "autoTouchApp(0)\n");
    EXPECT_EQ(lines[7], "noise_ctr(3)\n");

    // Each dump keeps its own counter: the next parameter dump is one above the first.
    const int n = std::stoi(first.substr(13));
    lines.clear();
    DumpParameterSet(s, out);
    EXPECT_EQ(lines.front(), "------------(" + std::to_string(n + 1) + " start)---------------\n");
    EXPECT_EQ(lines.back(), "------------(" + std::to_string(n + 1) + " end)---------------\n");
}

}  // namespace
}  // namespace qv7
