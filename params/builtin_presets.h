// The 62 built-in presets (library entries 0 to 61).
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "params/preset_entry.h"

namespace qv7 {

constexpr std::size_t kBuiltinPresetCount = FIRST_USER_INDEX;

// Names in GBK, the rest of each name area zero.
std::span<const PresetEntry, kBuiltinPresetCount> BuiltinPresets();
// The same name as UTF-8 text, independent of any conversion at run time (empty past the end).
std::string_view builtinPresetUtf8Name(std::size_t i);

}  // namespace qv7
