// The three quick keys of the group "Tolka上的效果": captions, right-click target, replacement.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>

#include "device/mfi.h"
#include "params/preset_entry.h"

namespace qv7 {

class PresetLibrary;

constexpr int kQuickKeyCount = 3;

// What a firmware "1.0.0" device shows; it is never asked for names.
std::array<std::string, kQuickKeyCount> fixedQuickKeyCaptions();
// The keys' names as the device gave them, as UTF-8 captions: those of its names event, or the fixed ones of a
// firmware that is never asked.
std::array<std::string, kQuickKeyCount> quickKeyCaptions(const mfi& driver);

// A quick-key button's screen rectangle (right and bottom exclusive) and whether it is enabled.
struct QuickKeyButton {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool enabled = false;
};
// The key whose enabled button lies under a right-button press, tested in key order. The window
// consumes the press whatever this returns.
std::optional<int> quickKeyAt(std::span<const QuickKeyButton, kQuickKeyCount> buttons, int x, int y);

// The CParaReplace dialog's model: its own copy of the library and the entry chosen.
class ParaReplaceChoice {
public:
    // The first min(count, 200) entries of the library; entry 0 starts chosen.
    explicit ParaReplaceChoice(std::span<const PresetEntry> entries);
    explicit ParaReplaceChoice(const PresetLibrary& library);

    std::span<const PresetEntry> entries() const { return {entries_.data(), static_cast<std::size_t>(count_)}; }
    std::string itemText(int index) const;  // UTF-8
    // Selection change of the dialog's combo box; indexes outside the list change nothing.
    void onSelected(int index);
    const PresetEntry& chosen() const { return chosen_; }

private:
    std::array<PresetEntry, MAX_PRESETS> entries_{};
    int count_ = 0;
    PresetEntry chosen_{};
};

// Stores `chosen` in key `k` through mfiSetRepPara, unvalidated and with all 30 bytes whatever the
// firmware; returns the caption to show at once (UTF-8), or nothing for a key outside 0..2 or a
// name the driver would refuse.
std::optional<std::string> ReplaceQuickKey(mfi& driver, const PresetEntry& chosen, int k);

}  // namespace qv7
