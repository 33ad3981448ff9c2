#include "panel/forwarded_presets.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

#include "presets/preset_commands.h"

namespace qv7::panel {

namespace {

handover::Reply usage(const std::string& message) { return {handover::kUsage, {}, "qv7ctl: " + message + "\n"}; }

// The library's messages while a command runs, as its standard error.
class Diverted {
public:
    explicit Diverted(const ForwardedPresets::Divert& divert) : divert_(divert) { divert_(&lines_); }
    ~Diverted() { divert_(nullptr); }
    Diverted(const Diverted&) = delete;
    Diverted& operator=(const Diverted&) = delete;
    PresetMessages messages() {
        return [this] { return std::exchange(lines_, {}); };
    }

private:
    const ForwardedPresets::Divert& divert_;
    std::string lines_;
};

handover::Reply reply(const PresetCommandResult& r) { return {r.code, r.out, r.err}; }

}  // namespace

bool ForwardedPresets::keeps(const std::string& file) const {
    const std::filesystem::path theirs(file), mine = library_.file();
    if (theirs == mine) return true;
    // The same folder under another name (a symbolic link, a relative settings folder).
    std::error_code ec;
    return theirs.filename() == mine.filename() &&
           std::filesystem::equivalent(theirs.parent_path(), mine.parent_path(), ec) && !ec;
}

bool ForwardedPresets::takesAtOnce(const std::vector<std::string>& words) {
    static const std::set<std::string> names = {"preset list", "preset show", "preset delete", "preset import"};
    if (words.size() < 2 || words[0] != "preset") return false;
    if (words[1] == "save")
        return words.size() >= 3 && std::find(words.begin(), words.end(), kParametersOption) != words.end();
    return names.count(words[0] + " " + words[1]) != 0;
}

handover::Reply ForwardedPresets::run(const std::string& command, const std::vector<std::string>& operands, bool json,
                                      const std::optional<std::string>& attachment) {
    if (attachment && command != "preset import") return usage(command + " takes no attached document");
    PresetLibrary& library = library_;
    Diverted diverted(divert_);
    // A file another program wrote since the last look is what the command sees.
    library.reloadIfChanged();
    const std::string notices = diverted.messages()();
    handover::Reply r;
    if (command == "preset list") {
        if (!operands.empty()) return usage("preset list takes no arguments");
        r = reply(presetListCommand(library, json));
    } else if (command == "preset show") {
        if (operands.size() != 1) return usage("preset show needs a preset name or index");
        r = reply(presetShowCommand(library, operands[0], json));
    } else if (command == "preset delete") {
        if (operands.size() != 1) return usage("preset delete needs a user preset's name or index");
        r = reply(presetDeleteCommand(library, operands[0], diverted.messages()));
    } else if (command == "preset save") {
        const auto set =
            operands.size() == 3 && operands[1] == kParametersOption ? parametersFromHex(operands[2]) : std::nullopt;
        if (!set) return usage("preset save through the panel needs a name, then --parameters and 60 hex digits");
        r = reply(presetSaveCommand(library, operands[0], *set, diverted.messages()));
    } else if (command == "preset import") {
        const bool replace = !operands.empty() && operands[0] == "--replace";
        if (operands.size() != (replace ? 2u : 1u))
            return usage("preset import needs one file ('-' for standard input), after --replace if given");
        if (!attachment) return usage("preset import through the panel needs the document attached");
        r = reply(presetImportCommand(library, operands.back(), *attachment, replace, diverted.messages()));
    } else {
        return usage("the panel does not carry out `" + command + "` for qv7ctl");
    }
    r.err = notices + r.err;
    return r;
}

handover::Reply ForwardedPresets::save(const std::vector<std::string>& operands, const ParameterSet& deviceSetting) {
    if (operands.size() != 1)
        return usage("preset save needs a name (at most 10 GBK bytes: 5 Chinese characters or 10 letters)");
    Diverted diverted(divert_);
    return reply(presetSaveCommand(library_, operands[0], deviceSetting, diverted.messages()));
}

}  // namespace qv7::panel
