// Firmware capabilities from the version text.
#include "device/firmware_caps.h"

#include "params/parameter_set.h"

namespace qv7 {

namespace {

constexpr int kTwoByteGetParaAbove = 101;
constexpr int kEarMonitorAbove = 101;
constexpr int kWideLiveVolumeAbove = 102;
constexpr int kSevenAdvancedAbove = 106;
constexpr int kNarrowLiveVolumeMax = 16;
constexpr int kWideLiveVolumeMax = 24;

int parseVersionNumber(std::string_view version) {
    int value = 0, digits = 0;
    for (char c : version) {
        if (c == '.') continue;
        if (c < '0' || c > '9' || ++digits > 3) return -1;
        value = value * 10 + (c - '0');
    }
    return digits == 3 ? value : -1;
}

}  // namespace

FirmwareCaps FirmwareCaps::fromVersion(std::string_view version) {
    FirmwareCaps caps;
    caps.versionNumber = parseVersionNumber(version);
    caps.original = version == "1.0.0";
    caps.twoByteGetPara = caps.above(kTwoByteGetParaAbove);
    caps.earMonitor = caps.above(kEarMonitorAbove);
    caps.liveVolumeMax = caps.above(kWideLiveVolumeAbove) ? kWideLiveVolumeMax : kNarrowLiveVolumeMax;
    caps.sevenAdvanced = caps.above(kSevenAdvancedAbove);
    return caps;
}

std::size_t FirmwareCaps::parameterCount() const { return original ? ParameterSet::kEarlySize : ParameterSet::kSize; }

std::size_t FirmwareCaps::advancedCount() const {
    return sevenAdvanced ? AdvancedSettings::kSize : AdvancedSettings::kEarlySize;
}

}  // namespace qv7
