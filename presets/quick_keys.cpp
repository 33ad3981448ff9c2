// Quick-key logic behind the three buttons and the CParaReplace dialog.
#include "presets/quick_keys.h"

#include <algorithm>

#include "presets/preset_library.h"

namespace qv7 {

std::array<std::string, kQuickKeyCount> fixedQuickKeyCaptions() { return {"原声", "唱歌", "喊麦"}; }

std::array<std::string, kQuickKeyCount> quickKeyCaptions(const mfi& driver) {
    if (driver.isOriginalFirmware()) return fixedQuickKeyCaptions();
    std::array<std::string, kQuickKeyCount> out;
    for (int k = 0; k < kQuickKeyCount; ++k)
        out[static_cast<std::size_t>(k)] = gbk::toUtf8Display(driver.quickKeyName(k));
    return out;
}

std::optional<int> quickKeyAt(std::span<const QuickKeyButton, kQuickKeyCount> buttons, int x, int y) {
    for (int k = 0; k < kQuickKeyCount; ++k) {
        const auto& b = buttons[static_cast<std::size_t>(k)];
        if (x >= b.left && x < b.right && y >= b.top && y < b.bottom) {
            if (b.enabled) return k;
        }
    }
    return std::nullopt;
}

ParaReplaceChoice::ParaReplaceChoice(std::span<const PresetEntry> entries) {
    count_ = static_cast<int>(std::min(entries.size(), MAX_PRESETS));
    std::copy_n(entries.begin(), count_, entries_.begin());
    chosen_ = entries_[0];
}

ParaReplaceChoice::ParaReplaceChoice(const PresetLibrary& library) : ParaReplaceChoice(library.entries()) {}

std::string ParaReplaceChoice::itemText(int index) const {
    if (index < 0 || index >= count_) return {};
    return entries_[static_cast<std::size_t>(index)].displayName();
}

void ParaReplaceChoice::onSelected(int index) {
    if (index < 0 || index >= count_) return;
    chosen_ = entries_[static_cast<std::size_t>(index)];
}

std::optional<std::string> ReplaceQuickKey(mfi& driver, const PresetEntry& chosen, int k) {
    if (k < 0 || k >= kQuickKeyCount) return std::nullopt;
    const std::string name = chosen.nameBytes();
    // The driver drops longer names silently; the caption must not claim a change that never went out.
    if (name.size() > kMaxPresetNameBytes) return std::nullopt;
    driver.mfiSetRepPara(chosen.set, reinterpret_cast<const uint8_t*>(name.data()), static_cast<int>(name.size()), k);
    return gbk::toUtf8Display(name);
}

}  // namespace qv7
