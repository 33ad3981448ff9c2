// The preset library's operations, driven alike by the Qt window and by qv7ctl.
#include "params/preset_library.h"

#include <cstdio>
#include <new>
#include <system_error>

#include "params/builtin_presets.h"
#include "params/preset_file.h"

namespace qv7 {

void HeadlessPresetUi::insertItem(int index, const std::string& text) {
    if (index < 0 || index > static_cast<int>(items.size())) return;
    items.insert(items.begin() + index, text);
}

void HeadlessPresetUi::removeItem(int index) {
    if (index < 0 || index >= static_cast<int>(items.size())) return;
    items.erase(items.begin() + index);
    // As a combo box does: removing the selected item leaves no selection.
    if (selected == index) selected = -1;
    else if (selected > index) --selected;
}

std::string HeadlessPresetUi::itemText(int index) const {
    if (index < 0 || index >= static_cast<int>(items.size())) return {};
    return items[static_cast<std::size_t>(index)];
}

PresetLibrary::PresetLibrary(PresetUi& ui, std::filesystem::path file, LineWriter trace)
    : ui_(ui), file_(std::move(file)), trace_(std::move(trace)) {}

void PresetLibrary::traceLine(const char* fmt, int value) {
    char line[32];
    std::snprintf(line, sizeof line, fmt, value);
    if (trace_) {
        trace_(line);
    } else {
        std::fputs(line, stdout);
    }
}

void PresetLibrary::message(std::string_view text, std::string_view caption) {
    ui_.showMessage(std::string(text), std::string(caption));
}

void PresetLibrary::InitPresetLibrary() {
    for (int i = count_ - 1; i >= 0; --i) ui_.removeItem(i);
    slots_.fill(PresetEntry{});
    count_ = 0;
    selection_ = -1;
    for (const auto& e : BuiltinPresets()) AddPreset(e);
    LoadUserPresets();
    select(0);
}

bool PresetLibrary::AddPreset(const PresetEntry& entry) {
    if (isFull()) return false;
    slots_[static_cast<std::size_t>(count_)] = entry;
    ui_.insertItem(count_, entry.displayName());
    ++count_;
    return true;
}

void PresetLibrary::LoadUserPresets() {
    for (const auto& e : readUserPresetFile(file_))
        if (!AddPreset(e)) break;
}

bool PresetLibrary::SaveUserPresets() {
    traceLine("total(%d)\n", count_);
    if (count_ <= static_cast<int>(FIRST_USER_INDEX)) return true;
    std::vector<uint8_t> bytes;
    try {
        bytes = encodeUserPresets(entries().subspan(FIRST_USER_INDEX));
    } catch (const std::bad_alloc&) {
        lastFileError_ = "out of memory for " + file_.string();
        message(preset_text::kSaveFailed, preset_text::kCaptionNotice);
        return false;
    }
    if (const auto r = writeFileAtomically(file_, bytes); !r) {
        lastFileError_ = r.error;
        message(preset_text::kWriteFailed, preset_text::kCaptionError);
        return false;
    }
    lastFileError_.clear();
    return true;
}

void PresetLibrary::OnPresetSelected(int index) {
    selection_ = index;
    traceLine("%d\n", index);
    ui_.enableDelete(deleteAllowed());
}

void PresetLibrary::select(int index) {
    selection_ = index;
    ui_.selectItem(index);
}

SaveOutcome PresetLibrary::savePreset(std::string_view utf8Name, const ParameterSet& set) {
    // Checked first: the original appended past the 200 slots and lost the preset.
    if (isFull()) {
        message(preset_text::kLibraryFull, preset_text::kCaptionRefused);
        return SaveOutcome::Full;
    }
    const auto name = gbk::fromUtf8(utf8Name);
    if (!name) {
        message(preset_text::kNameNotGbk, preset_text::kCaptionRefused);
        return SaveOutcome::BadName;
    }
    if (name->empty() || name->size() > kMaxPresetNameBytes) {
        message(preset_text::kNameLength, preset_text::kCaptionRefused);
        return SaveOutcome::BadName;
    }
    AddPreset(PresetEntry::make(set, *name));
    return SaveUserPresets() ? SaveOutcome::Saved : SaveOutcome::WriteFailed;
}

void PresetLibrary::SavePresetAs(const ParameterSet& controlSetting) {
    // Refused before the dialog, so nobody types a name that cannot be kept.
    if (isFull()) {
        message(preset_text::kLibraryFull, preset_text::kCaptionRefused);
        return;
    }
    const auto name = ui_.askName();
    if (!name) return;
    savePreset(*name, controlSetting);
}

void PresetLibrary::DeletePreset() {
    const int i = selection_;
    traceLine("%d\n", i);
    if (i < static_cast<int>(FIRST_USER_INDEX) || i >= count_) return;
    std::string question(preset_text::kDeleteQuestion);
    question += ui_.itemText(i);
    question += preset_text::kDeleteQuestionEnd;
    if (!ui_.ask(question, std::string(preset_text::kCaptionNotice))) return;
    removeUserPreset(i);
}

bool PresetLibrary::removeUserPreset(int i) {
    if (i < static_cast<int>(FIRST_USER_INDEX) || i >= count_) return false;
    const int n = count_;
    ui_.removeItem(i);
    if (i == n - 1) {
        select(i - 1);
        ui_.enableDelete(false);
        // Only when no user preset is left: otherwise the atomic rewrite below replaces the file, and
        // deleting it first would lose every remaining preset if that rewrite failed.
        if (n - 1 == static_cast<int>(FIRST_USER_INDEX)) {
            std::error_code ignored;  // a file that cannot be deleted is not reported
            std::filesystem::remove(file_, ignored);
        }
    } else {
        for (int k = i; k < n - 1; ++k) slots_[static_cast<std::size_t>(k)] = slots_[static_cast<std::size_t>(k + 1)];
        select(i);
    }
    slots_[static_cast<std::size_t>(n - 1)] = PresetEntry{};
    count_ = n - 1;
    SaveUserPresets();
    return true;
}

void PresetLibrary::ApplyPreset(mfi& driver, ParameterSet& deviceSetting, ParameterSet& controlSetting) {
    const int i = selection_;
    // Nothing to apply without a selection; the original read past the list.
    if (i < 0 || i >= count_) return;
    const PresetEntry& e = slots_[static_cast<std::size_t>(i)];
    if (ui_.itemText(i) != e.displayName()) {
        message(preset_text::kParameterError, preset_text::kCaptionNotice);
        return;
    }
    const auto set = presetForDevice(e.set, deviceSetting, driver);
    if (!set) return;
    deviceSetting = *set;
    controlSetting = *set;
    ui_.refreshControls(deviceSetting);
    if (trace_) {
        trace_("mfiSetPara\n");
    } else {
        std::fputs("mfiSetPara\n", stdout);
    }
    driver.mfiSetPara(deviceSetting);
}

std::vector<PresetListing> listPresets(const PresetLibrary& library) {
    std::vector<PresetListing> out;
    out.reserve(static_cast<std::size_t>(library.count()));
    for (int i = 0; i < library.count(); ++i)
        out.push_back({i, library.entry(i).displayName(), i < static_cast<int>(FIRST_USER_INDEX)});
    return out;
}

std::optional<int> findPreset(const PresetLibrary& library, std::string_view nameOrIndex) {
    if (nameOrIndex.empty()) return std::nullopt;
    if (nameOrIndex.find_first_not_of("0123456789") == std::string_view::npos) {
        int index = 0;
        for (char c : nameOrIndex.substr(0, 4)) index = index * 10 + (c - '0');
        if (nameOrIndex.size() <= 4 && index < library.count()) return index;
        // Out of range: a user preset may be named with digits only.
    }
    for (int i = 0; i < library.count(); ++i)
        if (library.entry(i).displayName() == nameOrIndex) return i;
    return std::nullopt;
}

std::optional<ParameterSet> presetForDevice(const ParameterSet& preset, const ParameterSet& deviceSetting,
                                            const mfi& driver) {
    const int count = driver.isOriginalFirmware() ? static_cast<int>(ParameterSet::kEarlySize)
                                                  : static_cast<int>(ParameterSet::kSize);
    if (driver.mfiCheckPara(preset, count) != 0) return std::nullopt;
    ParameterSet out = preset;
    // Applying a preset never changes the analog interface standard or the automatic power-off.
    out.accompany = deviceSetting.accompany;
    out.auto_poweroff = deviceSetting.auto_poweroff;
    out.auto_poweroff_time = deviceSetting.auto_poweroff_time;
    return out;
}

}  // namespace qv7
