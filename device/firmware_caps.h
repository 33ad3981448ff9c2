// What a firmware version can do, decided in one place from its FirmwareVersion text.
#pragma once

#include <cstddef>
#include <string_view>

namespace qv7 {

struct FirmwareCaps {
    // "1.0.7" counts as 107; a text that is not three digits once the dots are gone counts as -1,
    // and such a firmware is above nothing.
    int versionNumber = -1;
    bool original = false;        // exactly "1.0.0": 25-byte parameter sets, no quick-key names
    bool twoByteGetPara = false;  // above 1.0.1: getpara asks with 2
    bool earMonitor = false;      // above 1.0.1: the ear-monitor (耳返) switch can be set
    int liveVolumeMax = 16;       // above 1.0.2: 24
    bool sevenAdvanced = false;   // above 1.0.6: seven advanced-settings bytes (noise reduction), else three

    static FirmwareCaps fromVersion(std::string_view version);

    // For range rules that carry their own threshold.
    bool above(int n) const { return versionNumber >= 0 && versionNumber > n; }
    std::size_t parameterCount() const;
    std::size_t advancedCount() const;
};

}  // namespace qv7
