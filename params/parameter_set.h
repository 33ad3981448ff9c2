// The device's two settings records and the one table of their fields.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/line_writer.h"

namespace qv7 {

// 30 bytes, one unsigned byte per field, in wire order. Firmware "1.0.0" knows bytes 0..24.
struct ParameterSet {
    uint8_t monitorVol = 0;          // 0
    uint8_t musicVol = 0;            // 1
    uint8_t micVol = 0;              // 2
    uint8_t liveVol = 0;             // 3
    uint8_t effectState = 0;         // 4
    uint8_t accompany = 0;           // 5
    uint8_t dodgeSwitch = 0;         // 6
    uint8_t rebvol = 0;              // 7
    uint8_t wet = 0;                 // 8
    uint8_t type = 0;                // 9
    uint8_t delay = 0;               // 10
    uint8_t effectSwitch = 0;        // 11
    uint8_t effectTone = 0;          // 12
    uint8_t toneCent = 0;            // 13
    uint8_t effectPitch = 0;         // 14
    uint8_t auto_poweroff = 0;       // 15
    uint8_t auto_poweroff_time = 0;  // 16
    uint8_t eqSwitch = 0;            // 17
    uint8_t eqGain[7] = {};          // 18..24
    uint8_t dodgeThreshold = 0;      // 25
    uint8_t dodgeSpeed = 0;          // 26
    uint8_t dodgeLevel = 0;          // 27
    uint8_t hpfCutoff = 0;           // 28
    uint8_t lpfCutoff = 0;           // 29

    static constexpr std::size_t kSize = 30;
    static constexpr std::size_t kEarlySize = 25;  // what firmware "1.0.0" takes
    using Bytes = std::array<uint8_t, kSize>;

    Bytes bytes() const { return std::bit_cast<Bytes>(*this); }
    static ParameterSet fromBytes(const Bytes& b) { return std::bit_cast<ParameterSet>(b); }
    // Copies min(n, 30) bytes; the rest stays 0.
    static ParameterSet fromPrefix(std::span<const uint8_t> b);
    uint8_t at(std::size_t byte) const { return bytes()[byte]; }
    void set(std::size_t byte, uint8_t value);
    bool operator==(const ParameterSet&) const = default;
};
static_assert(sizeof(ParameterSet) == ParameterSet::kSize);

// 7 bytes; firmware whose version number is 106 or below takes bytes 0..2.
struct AdvancedSettings {
    uint8_t sample_rate = 0;       // 0
    uint8_t erfan = 0;             // 1
    uint8_t autoTouchApp = 0;      // 2
    uint8_t doubleLiveSwitch = 0;  // 3
    uint8_t denoise_switch = 0;    // 4
    uint8_t denoise_thr = 0;       // 5
    uint8_t noise_ctr = 0;         // 6

    static constexpr std::size_t kSize = 7;
    static constexpr std::size_t kEarlySize = 3;
    using Bytes = std::array<uint8_t, kSize>;

    Bytes bytes() const { return std::bit_cast<Bytes>(*this); }
    static AdvancedSettings fromBytes(const Bytes& b) { return std::bit_cast<AdvancedSettings>(b); }
    static AdvancedSettings fromPrefix(std::span<const uint8_t> b);
    uint8_t at(std::size_t byte) const { return bytes()[byte]; }
    void set(std::size_t byte, uint8_t value);
    bool operator==(const AdvancedSettings&) const = default;
};
static_assert(sizeof(AdvancedSettings) == AdvancedSettings::kSize);

enum class Record { Parameters, Advanced };

// One field of either record: its name, byte, valid range and validation code.
struct FieldInfo {
    Record record;
    const char* name;  // as the dumps and the command line spell it, e.g. "eqGain[3]"
    uint8_t byte;
    uint8_t min;
    uint8_t max;
    uint8_t maxNewer;    // upper limit when the firmware is above `newerThreshold`
    int newerThreshold;  // 0: the limit does not depend on the firmware
    bool validated;      // effectState is held and sent but never checked
    int code;            // value the check returns when this field is out of range
    int checkOrder;      // position in the check sequence
    bool late;           // parameter bytes 25..29, or advanced bytes 3..6
};

std::span<const FieldInfo> parameterFields();  // indexed by byte
std::span<const FieldInfo> advancedFields();   // indexed by byte
const FieldInfo* findField(std::string_view name);

// The firmware facts the range rules need. `versionAbove(n)` is the driver's version test.
struct FirmwareTraits {
    bool isOriginal = false;  // FirmwareVersion is exactly "1.0.0"
    std::function<bool(int)> versionAbove;
    std::size_t parameterCount() const { return isOriginal ? ParameterSet::kEarlySize : ParameterSet::kSize; }
};

uint8_t fieldMax(const FieldInfo& f, const std::function<bool(int)>& versionAbove);

// 0 or the code of the first field out of range (codes -1..-30); the late fields count only when count > 25.
int checkParameterSet(const ParameterSet& set, int count, const std::function<bool(int)>& versionAbove);
// 0 or -1..-7; bytes 3..6 count only when the firmware is above 106.
int checkAdvancedSettings(const AdvancedSettings& adv, const std::function<bool(int)>& versionAbove);

// Diagnostic dumps with their own counters, through a line writer.
void DumpParameterSet(const ParameterSet& set, const LineWriter& out);
void DumpAdvancedSettings(const AdvancedSettings& adv, const LineWriter& out);
void DumpParameterSet(const ParameterSet& set);          // to standard output
void DumpAdvancedSettings(const AdvancedSettings& adv);  // to standard output

}  // namespace qv7
