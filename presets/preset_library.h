// The preset library of the group "常用效果": 200 slots, the combo box it mirrors, and its operations.
#pragma once

#include <array>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "device/mfi.h"
#include "params/parameter_set.h"
#include "params/preset_entry.h"
#include "params/preset_file.h"
#include "presets/file_stamp.h"

namespace qv7 {

// Texts and captions the user sees, UTF-8.
namespace preset_text {
inline constexpr std::string_view kCaptionNotice = "提示";
inline constexpr std::string_view kCaptionRefused = "错误";
inline constexpr std::string_view kCaptionError = "Error";
inline constexpr std::string_view kNameLength = "参数名称必须大于0个字符小于10个字符";
inline constexpr std::string_view kNameNotGbk = "名称中有无法保存的字符，请换用其他字符";
inline constexpr std::string_view kLibraryFull = "效果列表已满，无法保存";
inline constexpr std::string_view kSaveFailed = "保存失败";
inline constexpr std::string_view kWriteFailed = "写失败！！";
inline constexpr std::string_view kDeleteQuestion = "是否需要删除常用参数： ";  // + item text
inline constexpr std::string_view kDeleteQuestionEnd = " ？";
inline constexpr std::string_view kParameterError = "参数错误！";
}  // namespace preset_text

// para.bin could not be loaded whole, was kept under another name before being replaced, or was left
// alone instead of being replaced.
struct PresetFileNotice {
    std::string text, caption;  // as the window shows it
    std::string english;        // the same for qv7ctl
};

// The window's side of the library. The combo box and the delete button follow the model through
// the list calls; a selection the model makes must not come back as OnPresetSelected (the original
// combo box raises no selection-change for programmatic selections), so the window blocks its
// signals while mirroring.
class PresetUi {
public:
    virtual ~PresetUi() = default;
    virtual void showMessage(const std::string& text, const std::string& caption) = 0;
    // OK/Cancel question; true for OK.
    virtual bool ask(const std::string& text, const std::string& caption) = 0;
    // The NameInput dialog: the text entered (UTF-8), or nothing when it ended other than with OK.
    virtual std::optional<std::string> askName() = 0;

    virtual void insertItem(int index, const std::string& text) = 0;  // text as shown, UTF-8
    virtual void removeItem(int index) = 0;
    virtual void selectItem(int index) = 0;
    virtual void enableDelete(bool enabled) = 0;
    // The combo item's text as shown; applying compares it with the entry's name.
    virtual std::string itemText(int index) const = 0;
    // After a preset was applied: show `setting` in every control.
    virtual void refreshControls(const ParameterSet& setting) { (void)setting; }
    // The window shows it as a message like any other.
    virtual void fileNotice(const PresetFileNotice& notice) { showMessage(notice.text, notice.caption); }
};

// A PresetUi without a window, for qv7ctl and tests: it keeps the list, records every message
// and answers questions and the name prompt from its fields.
class HeadlessPresetUi : public PresetUi {
public:
    struct Message {
        std::string text, caption;
        bool operator==(const Message&) const = default;
    };
    std::vector<std::string> items;
    int selected = -1;
    bool deleteEnabled = false;
    std::vector<Message> messages;
    std::vector<Message> questions;
    bool answer = true;
    std::optional<std::string> name;  // what askName hands back
    int refreshes = 0;

    void showMessage(const std::string& text, const std::string& caption) override {
        messages.push_back({text, caption});
    }
    bool ask(const std::string& text, const std::string& caption) override {
        questions.push_back({text, caption});
        return answer;
    }
    std::optional<std::string> askName() override { return name; }
    void insertItem(int index, const std::string& text) override;
    void removeItem(int index) override;
    void selectItem(int index) override { selected = index; }
    void enableDelete(bool enabled) override { deleteEnabled = enabled; }
    std::string itemText(int index) const override;
    void refreshControls(const ParameterSet&) override { ++refreshes; }
};

enum class SaveOutcome { Saved, Cancelled, Full, BadName, WriteFailed };

// Why "保存效果" would refuse a name.
enum class NameFault { None, NotGbk, Length };
// The GBK bytes a user preset named `utf8Name` keeps, or nothing with `fault` set: the rules of
// "保存效果", shared by every way in (the dialog, qv7ctl, an imported file).
std::optional<std::string> userPresetName(std::string_view utf8Name, NameFault& fault);
// The library's own words for a refused name (kNameNotGbk or kNameLength).
std::string_view nameFaultText(NameFault fault);

// What adding several user presets at once did. Nothing changes, in the list or the file, unless
// the outcome is Added.
struct AddPresetsResult {
    enum class Outcome { Added, Clash, Full, WriteFailed } outcome = Outcome::Added;
    int added = 0;          // appended at the end
    int replaced = 0;       // user presets of the same name overwritten in place
    std::size_t clash = 0;  // for Clash: the position in the given entries of a name a user preset already has
    int room = 0;           // for Full: how many more user presets the library takes
};

class PresetLibrary {
public:
    // `file` is where the user presets live, normally GetAppDirFile("para.bin"); `trace` takes the
    // diagnostic lines, standard output when empty.
    PresetLibrary(PresetUi& ui, std::filesystem::path file, LineWriter trace = {});

    // Empties the list, adds the built-in presets, loads the file, selects item 0.
    void InitPresetLibrary();
    // Appends at the end without changing the selection; false (nothing changes) when all 200 slots are used.
    bool AddPreset(const PresetEntry& entry);
    void LoadUserPresets();
    // Rewrites the file from entry 62 on; nothing is written while there are no user presets.
    // False, after the message, when the file could not be replaced, or changed since it was last loaded (nothing
    // is written over a file the library has not seen); the library keeps its entries.
    // A file the load could not take whole is first kept under a dated name, or, when no copy can
    // be kept, left alone (a refusal, with its message).
    bool SaveUserPresets();

    // The handlers of the group's controls.
    void OnPresetSelected(int index);
    void SavePresetAs(const ParameterSet& controlSetting);
    void DeletePreset();
    // Keeps accompany and the power-off fields of `deviceSetting`; sets both copies, then sends.
    void ApplyPreset(mfi& driver, ParameterSet& deviceSetting, ParameterSet& controlSetting);

    // Saves `set` under `utf8Name` with the same checks and messages as SavePresetAs after its dialog.
    SaveOutcome savePreset(std::string_view utf8Name, const ParameterSet& set);
    // Adds `entries` (names already checked) as user presets with one rewrite of the file. A name a user
    // preset already has is a clash, refused unless `replace`, which overwrites that preset in place.
    // Built-in names may repeat: a built-in saved back becomes a user preset of the same name.
    // Refused whole when the library lacks the room; when the file cannot be replaced the list is
    // restored too, so the window never shows presets the file lacks.
    AddPresetsResult addPresets(std::span<const PresetEntry> entries, bool replace);
    // Steps 3 to 6 of DeletePreset for `index`, without trace or question (qv7ctl asks on its own).
    // True when the preset is gone from the list and from the file; false for built-in presets and
    // indexes past the end (nothing changes), and when the file could not be rewritten or removed
    // (the list keeps the change, lastFileError says why).
    bool removeUserPreset(int index);
    // Selects as the model does after a delete: mirrored, no trace, delete button untouched.
    void select(int index);

    // Whether para.bin holds something other than what the library last loaded from it or wrote to it: another
    // program (qv7ctl, a second copy, a sync tool, an editor) has written or removed it since.
    bool fileChanged() const;
    // Takes in what another program did to para.bin: when the file changed, the user presets are loaded from it
    // again and the selection stays on the preset it was on while that is still there. True when it reloaded.
    // Every change to the library (save, import, delete) starts with it, so its write builds on the file as it
    // is, and the window's list follows the file.
    bool reloadIfChanged();

    int count() const { return count_; }
    int selection() const { return selection_; }
    std::span<const PresetEntry> entries() const { return {slots_.data(), static_cast<std::size_t>(count_)}; }
    const PresetEntry& entry(int index) const { return slots_.at(static_cast<std::size_t>(index)); }
    // Whether "删除效果" may be enabled for the current selection (the enabling step uses it too).
    bool deleteAllowed() const { return selection_ >= static_cast<int>(FIRST_USER_INDEX) && selection_ < count_; }
    bool isFull() const { return count_ >= static_cast<int>(MAX_PRESETS); }
    const std::filesystem::path& file() const { return file_; }
    // Why the last save failed, with the path and the system's reason (for qv7ctl's messages).
    const std::string& lastFileError() const { return lastFileError_; }
    // The clock that dates the name of a kept copy; the system clock by default.
    void setClock(std::function<std::time_t()> now) { clock_ = std::move(now); }

private:
    void traceLine(const char* fmt, int value);
    void message(std::string_view text, std::string_view caption);
    // Before the file is replaced or removed: keeps it when the load left records out. False, after
    // the refusal's message, when it needs keeping and cannot be kept.
    bool keepUnloadedFile();
    // Where `e` is among the user presets now, `hint` first; -1 when it is not.
    int findUserEntry(const PresetEntry& e, int hint) const;

    PresetUi& ui_;
    std::filesystem::path file_;
    LineWriter trace_;
    std::array<PresetEntry, MAX_PRESETS> slots_{};
    int count_ = 0;
    int selection_ = -1;
    std::string lastFileError_;
    bool mustKeepFile_ = false;
    FileStamp stamp_;  // para.bin as last loaded or written
    std::function<std::time_t()> clock_;
};

// ---- for qv7ctl: the command line only parses arguments ----

struct PresetListing {
    int index;
    std::string name;  // UTF-8
    bool builtin;
};
std::vector<PresetListing> listPresets(const PresetLibrary& library);

// An argument of digits that is a valid index selects that entry; otherwise it is a name (UTF-8),
// compared with each entry's shown name, the first match winning as names may repeat.
std::optional<int> findPreset(const PresetLibrary& library, std::string_view nameOrIndex);

// What "使用效果" would send for `preset` to this device: checked with 25 fields on firmware
// "1.0.0" and 30 otherwise, accompany and the power-off fields taken from `deviceSetting`;
// nothing when the check fails.
std::optional<ParameterSet> presetForDevice(const ParameterSet& preset, const ParameterSet& deviceSetting,
                                            const mfi& driver);

}  // namespace qv7
