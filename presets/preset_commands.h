// qv7ctl's preset commands over a library: what they print and how they end. qv7ctl runs them on its own copy of
// the library when no panel runs, and the panel runs them on the library its window shows when qv7ctl hands
// them over, so a script cannot tell the two apart and neither program works on a list the other has changed.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "params/parameter_set.h"
#include "presets/preset_library.h"

namespace qv7 {

struct PresetCommandResult {
    int code = 0;     // qv7ctl's exit code (common/handover_message.h)
    std::string out;  // standard output
    std::string err;  // standard error, each line starting "qv7ctl: "
};

// The library's messages since the last call, as lines for standard error ("qv7ctl: TEXT (CAPTION)\n").
using PresetMessages = std::function<std::string()>;

// The line for a message of the library.
std::string presetMessageLine(const std::string& text, const std::string& caption);

PresetCommandResult presetListCommand(const PresetLibrary& library, bool json);
PresetCommandResult presetShowCommand(const PresetLibrary& library, const std::string& nameOrIndex, bool json);
PresetCommandResult presetDeleteCommand(PresetLibrary& library, const std::string& nameOrIndex,
                                        const PresetMessages& messages);
// `source` names the document in messages: its file, or "-" for standard input.
PresetCommandResult presetImportCommand(PresetLibrary& library, const std::string& source, std::string_view text,
                                        bool replace, const PresetMessages& messages);
// `preset save NAME --parameters HEX` hands the panel a save qv7ctl read from a Tolka the panel does not hold:
// the option and the settings as 60 hex digits, or nothing when `hex` is not that.
inline constexpr char kParametersOption[] = "--parameters";
std::string parametersHex(const ParameterSet& set);
std::optional<ParameterSet> parametersFromHex(std::string_view hex);

PresetCommandResult presetSaveCommand(PresetLibrary& library, const std::string& name, const ParameterSet& set,
                                      const PresetMessages& messages);

}  // namespace qv7
