// What each firmware version can do.
#include "device/firmware_caps.h"

#include <gtest/gtest.h>

#include "params/parameter_set.h"

namespace qv7 {
namespace {

TEST(FirmwareCaps, ThresholdsByVersion) {
    struct Case {
        const char* version;
        bool original, twoByteGetPara, earMonitor;
        int liveVolumeMax;
        bool sevenAdvanced;
        std::size_t parameterCount, advancedCount;
    } const cases[] = {
        {"1.0.0", true, false, false, 16, false, ParameterSet::kEarlySize, AdvancedSettings::kEarlySize},
        {"1.0.1", false, false, false, 16, false, ParameterSet::kSize, AdvancedSettings::kEarlySize},
        {"1.0.2", false, true, true, 16, false, ParameterSet::kSize, AdvancedSettings::kEarlySize},
        {"1.0.6", false, true, true, 24, false, ParameterSet::kSize, AdvancedSettings::kEarlySize},
        {"1.0.7", false, true, true, 24, true, ParameterSet::kSize, AdvancedSettings::kSize},
        // Not three digits: above nothing, but not the original firmware either.
        {"1.0.10", false, false, false, 16, false, ParameterSet::kSize, AdvancedSettings::kEarlySize},
        {"1.a.7", false, false, false, 16, false, ParameterSet::kSize, AdvancedSettings::kEarlySize},
        {"", false, false, false, 16, false, ParameterSet::kSize, AdvancedSettings::kEarlySize},
    };
    for (const auto& c : cases) {
        const auto caps = FirmwareCaps::fromVersion(c.version);
        EXPECT_EQ(caps.original, c.original) << c.version;
        EXPECT_EQ(caps.twoByteGetPara, c.twoByteGetPara) << c.version;
        EXPECT_EQ(caps.earMonitor, c.earMonitor) << c.version;
        EXPECT_EQ(caps.liveVolumeMax, c.liveVolumeMax) << c.version;
        EXPECT_EQ(caps.sevenAdvanced, c.sevenAdvanced) << c.version;
        EXPECT_EQ(caps.parameterCount(), c.parameterCount) << c.version;
        EXPECT_EQ(caps.advancedCount(), c.advancedCount) << c.version;
        if (caps.versionNumber < 0) {
            EXPECT_FALSE(caps.above(-5)) << c.version;
        }
    }
    EXPECT_TRUE(FirmwareCaps::fromVersion("1.0.7").above(106));
    EXPECT_FALSE(FirmwareCaps::fromVersion("1.0.6").above(106));
}

}  // namespace
}  // namespace qv7
