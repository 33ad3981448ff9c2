// One named preset as the library holds it: a ParameterSet and a 20-byte zero-padded GBK name.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/gbk_text.h"
#include "params/parameter_set.h"

namespace qv7 {

constexpr std::size_t MAX_PRESETS = 200;
constexpr std::size_t FIRST_USER_INDEX = 62;
constexpr std::size_t kPresetNameArea = 20;
constexpr std::size_t kMaxPresetNameBytes = 10;

// 50 bytes, held by value like the records it carries.
struct PresetEntry {
    ParameterSet set{};
    std::array<uint8_t, kPresetNameArea> name{};

    static constexpr std::size_t kSize = ParameterSet::kSize + kPresetNameArea;

    // Takes at most the area less its terminating zero; callers check the 10-byte limit first.
    static PresetEntry make(const ParameterSet& set, std::string_view gbkName) {
        PresetEntry e;
        e.set = set;
        const std::size_t n = std::min(gbkName.size(), kPresetNameArea - 1);
        std::copy_n(gbkName.begin(), n, e.name.begin());
        return e;
    }
    std::string nameBytes() const { return gbk::textUpToZero(name); }  // GBK
    std::string displayName() const { return gbk::toUtf8Display(nameBytes()); }
    bool operator==(const PresetEntry&) const = default;
};
static_assert(sizeof(PresetEntry) == PresetEntry::kSize);

}  // namespace qv7
