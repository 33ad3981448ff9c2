// The preset library's operations, driven alike by the Qt window and by qv7ctl.
#include "presets/preset_library.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <system_error>

#include "common/atomic_file.h"
#include "params/builtin_presets.h"
#include "params/preset_file.h"

namespace qv7 {

namespace {

// The window's words for what the load left out.
std::string chineseLoadProblem(const PresetFileLoad& load) {
    const std::string size = std::to_string(load.size);
    switch (load.fault) {
    case PresetFileFault::Unreadable:
        return std::string("无法读取（") + std::strerror(load.error) + "）";
    case PresetFileFault::NotRegularFile:
        return "不是普通文件";
    case PresetFileFault::OverLimit:
        return "文件大小 " + size + " 字节，超过 " + std::to_string(kMaxUserPresetRecords) + " 条的上限";
    case PresetFileFault::NotWholeRecords:
        return "文件大小 " + size + " 字节，不是 " + std::to_string(kUserPresetRecordSize) + " 的整数倍";
    case PresetFileFault::ChangedWhileRead:
        return "读取时文件长度有变化";
    case PresetFileFault::None:
        break;
    }
    std::string out;
    constexpr std::size_t kListed = 10;
    for (std::size_t i = 0; i < load.skipped.size() && i < kListed; ++i) {
        const auto& r = load.skipped[i];
        out += (i ? "、第" : "第") + std::to_string(r.number) +
               (r.fault == RecordFault::Checksum ? "条（校验和错误）" : "条（记录头错误）");
    }
    if (load.skipped.size() > kListed) out += "等共 " + std::to_string(load.skipped.size()) + " 条";
    return out;
}

PresetFileNotice loadNotice(const std::filesystem::path& file, const PresetFileLoad& load) {
    const std::string path = file.string();
    PresetFileNotice n;
    n.caption = preset_text::kCaptionNotice;
    if (load.fault != PresetFileFault::None) {
        n.text = "效果文件 " + path + " 无法载入：" + chineseLoadProblem(load) + "，其中的效果都没有列出。";
        n.english = path + ": no user presets loaded: " + describeLoadProblem(load);
    } else {
        n.text = "效果文件 " + path + " 中有记录无法载入，已跳过：" + chineseLoadProblem(load) + "。";
        n.english = path + ": " + describeLoadProblem(load);
    }
    n.text += "保存或删除效果前，会先把原文件另存一份。";
    n.english += "; the file will be kept as a copy before it is next written";
    return n;
}

// ".damaged-YYYYMMDD-HHMMSS" in local time, as the user would look for it.
std::string damagedSuffix(std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return std::string(".damaged-") + stamp;
}

}  // namespace

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
    : ui_(ui), file_(std::move(file)), trace_(orStdout(std::move(trace))) {}

void PresetLibrary::traceLine(const char* fmt, int value) {
    char line[32];
    std::snprintf(line, sizeof line, fmt, value);
    trace_(line);
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
    // A save killed half-way leaves its temporary file; this is the start after it.
    removeStaleTemporaryFiles(file_);
    // Stamped before it is read: a change between the two shows as a change at the next look, never as none.
    stamp_ = stampFile(file_, kMaxPresetFileSize);
    const PresetFileLoad load = loadUserPresetFile(file_);
    for (const auto& e : load.entries)
        if (!AddPreset(e)) break;
    mustKeepFile_ = load.mustBeKept();
    if (mustKeepFile_) ui_.fileNotice(loadNotice(file_, load));
}

bool PresetLibrary::keepUnloadedFile() {
    if (!mustKeepFile_) return true;
    const auto kept = keepCopyBeside(file_, damagedSuffix(clock_ ? clock_() : std::time(nullptr)));
    const std::string path = file_.string();
    if (!kept.result) {
        lastFileError_ = kept.result.error;
        ui_.fileNotice({"效果文件 " + path + " 未能完整载入，也无法另存一份（" + kept.result.error +
                            "），为免丢失其中的效果，没有写入。",
                        std::string(preset_text::kCaptionError),
                        "not writing " + path + ": it could not be loaded whole and no copy of it could be kept"});
        return false;
    }
    mustKeepFile_ = false;
    // An empty path: the file went away meanwhile, so there is nothing left to lose.
    if (!kept.path.empty())
        ui_.fileNotice({"效果文件 " + path + " 未能完整载入，原文件已另存为 " + kept.path.string() + "。",
                        std::string(preset_text::kCaptionNotice),
                        "kept " + path + ", which could not be loaded whole, as " + kept.path.string()});
    return true;
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
    // Each change reloads a changed file first; one that changed again since is not written over unseen.
    if (fileChanged()) {
        lastFileError_ = file_.string() + " was changed by another program while this change was made; nothing written";
        message(preset_text::kSaveFailed, preset_text::kCaptionNotice);
        return false;
    }
    if (!keepUnloadedFile()) return false;
    if (const auto r = writeFileAtomically(file_, bytes); !r) {
        lastFileError_ = r.error;
        message(preset_text::kWriteFailed, preset_text::kCaptionError);
        return false;
    }
    stamp_ = stampOfContents(std::move(bytes));
    lastFileError_.clear();
    return true;
}

bool PresetLibrary::fileChanged() const { return stampFile(file_, kMaxPresetFileSize) != stamp_; }

bool PresetLibrary::reloadIfChanged() {
    if (!fileChanged()) return false;
    const int selected = selection_;
    std::optional<PresetEntry> selectedEntry;
    if (selected >= static_cast<int>(FIRST_USER_INDEX) && selected < count_)
        selectedEntry = slots_[static_cast<std::size_t>(selected)];
    for (int i = count_ - 1; i >= static_cast<int>(FIRST_USER_INDEX); --i) {
        ui_.removeItem(i);
        slots_[static_cast<std::size_t>(i)] = PresetEntry{};
    }
    count_ = std::min(count_, static_cast<int>(FIRST_USER_INDEX));
    LoadUserPresets();
    int next = selected;
    if (selectedEntry) {
        next = findUserEntry(*selectedEntry, selected);
        if (next < 0) next = std::min(selected, count_ - 1);
    }
    select(next);
    ui_.enableDelete(deleteAllowed());
    return true;
}

int PresetLibrary::findUserEntry(const PresetEntry& e, int hint) const {
    if (hint >= static_cast<int>(FIRST_USER_INDEX) && hint < count_ && slots_[static_cast<std::size_t>(hint)] == e)
        return hint;
    for (int i = static_cast<int>(FIRST_USER_INDEX); i < count_; ++i)
        if (slots_[static_cast<std::size_t>(i)] == e) return i;
    return -1;
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
    reloadIfChanged();
    // Checked first: the original appended past the 200 slots and lost the preset.
    if (isFull()) {
        message(preset_text::kLibraryFull, preset_text::kCaptionRefused);
        return SaveOutcome::Full;
    }
    NameFault fault = NameFault::None;
    const auto name = userPresetName(utf8Name, fault);
    if (!name) {
        message(nameFaultText(fault), preset_text::kCaptionRefused);
        return SaveOutcome::BadName;
    }
    AddPreset(PresetEntry::make(set, *name));
    return SaveUserPresets() ? SaveOutcome::Saved : SaveOutcome::WriteFailed;
}

AddPresetsResult PresetLibrary::addPresets(std::span<const PresetEntry> entries, bool replace) {
    reloadIfChanged();
    AddPresetsResult r;
    std::vector<int> targets;  // per entry: the user preset it replaces, or -1
    targets.reserve(entries.size());
    for (std::size_t k = 0; k < entries.size(); ++k) {
        int target = -1;
        for (int i = static_cast<int>(FIRST_USER_INDEX); i < count_ && target < 0; ++i)
            if (slots_[static_cast<std::size_t>(i)].nameBytes() == entries[k].nameBytes()) target = i;
        if (target >= 0 && !replace) {
            r.outcome = AddPresetsResult::Outcome::Clash;
            r.clash = k;
            return r;
        }
        targets.push_back(target);
        if (target < 0) ++r.added;
        else ++r.replaced;
    }
    if (r.added > static_cast<int>(MAX_PRESETS) - count_) {
        r.outcome = AddPresetsResult::Outcome::Full;
        r.room = static_cast<int>(MAX_PRESETS) - count_;
        return r;
    }
    const auto before = slots_;
    const int countBefore = count_;
    const int selectionBefore = selection_;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        if (targets[k] < 0) {
            AddPreset(entries[k]);
            continue;
        }
        slots_[static_cast<std::size_t>(targets[k])] = entries[k];
        ui_.removeItem(targets[k]);
        ui_.insertItem(targets[k], entries[k].displayName());
    }
    if (r.replaced > 0) select(selectionBefore);  // a list item that was taken out and put back lost it
    if (SaveUserPresets()) return r;
    // All or nothing: the list goes back to what the unchanged file holds.
    for (int i = count_ - 1; i >= static_cast<int>(FIRST_USER_INDEX); --i) ui_.removeItem(i);
    slots_ = before;
    count_ = countBefore;
    for (int i = static_cast<int>(FIRST_USER_INDEX); i < count_; ++i)
        ui_.insertItem(i, slots_[static_cast<std::size_t>(i)].displayName());
    select(selectionBefore);
    r.outcome = AddPresetsResult::Outcome::WriteFailed;
    return r;
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
    const PresetEntry meant = slots_[static_cast<std::size_t>(i)];
    if (!ui_.ask(question, std::string(preset_text::kCaptionNotice))) return;
    // While the question was open a qv7ctl command through the panel may have changed the list.
    if (const int now = findUserEntry(meant, i); now >= 0) removeUserPreset(now);
}

bool PresetLibrary::removeUserPreset(int i) {
    if (i < static_cast<int>(FIRST_USER_INDEX) || i >= count_) return false;
    // The index is the list's before another program changed the file: the preset meant is found again.
    if (const PresetEntry meant = slots_[static_cast<std::size_t>(i)]; reloadIfChanged()) {
        i = findUserEntry(meant, i);
        if (i < 0) {
            lastFileError_.clear();
            return true;  // another program deleted it already
        }
    }
    const int n = count_;
    ui_.removeItem(i);
    bool fileDone = true;
    if (i == n - 1) {
        select(i - 1);
        ui_.enableDelete(false);
        // Only when no user preset is left: otherwise the atomic rewrite below replaces the file, and
        // deleting it first would lose every remaining preset if that rewrite failed.
        if (n - 1 == static_cast<int>(FIRST_USER_INDEX)) {
            fileDone = keepUnloadedFile();
            std::error_code ec;
            if (fileDone && !std::filesystem::remove(file_, ec) && ec) {
                // The window says nothing about it, as designed; qv7ctl must not claim the preset is gone.
                lastFileError_ = "cannot remove " + file_.string() + ": " + ec.message();
                fileDone = false;
            }
            if (fileDone) stamp_ = FileStamp{};
        }
    } else {
        for (int k = i; k < n - 1; ++k) slots_[static_cast<std::size_t>(k)] = slots_[static_cast<std::size_t>(k) + 1];
        select(i);
    }
    slots_[static_cast<std::size_t>(n - 1)] = PresetEntry{};
    count_ = n - 1;
    return SaveUserPresets() && fileDone;
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
    trace_("mfiSetPara\n");
    driver.mfiSetPara(deviceSetting);
}

std::optional<std::string> userPresetName(std::string_view utf8Name, NameFault& fault) {
    auto name = gbk::fromUtf8(utf8Name);
    if (!name) {
        fault = NameFault::NotGbk;
        return std::nullopt;
    }
    if (name->empty() || name->size() > kMaxPresetNameBytes) {
        fault = NameFault::Length;
        return std::nullopt;
    }
    fault = NameFault::None;
    return name;
}

std::string_view nameFaultText(NameFault fault) {
    return fault == NameFault::NotGbk ? preset_text::kNameNotGbk : preset_text::kNameLength;
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
