// qv7ctl's preset commands carried out on the panel's own library, the one its window shows, so neither program
// works on a list the other has changed (what they print: presets/preset_commands.h). While one runs, the
// library's messages are the command's answer rather than boxes in the window.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/handover_message.h"
#include "params/parameter_set.h"
#include "presets/preset_library.h"

namespace qv7::panel {

class ForwardedPresets {
public:
    // `divert(&lines)` makes the library's window say its messages into `lines`, `divert(nullptr)` ends that.
    using Divert = std::function<void(std::string*)>;
    ForwardedPresets(PresetLibrary& library, Divert divert) : library_(library), divert_(std::move(divert)) {}

    // Whether `file` is the para.bin of the panel's library (qv7ctl names the one it would use).
    bool keeps(const std::string& file) const;

    // The commands that need no device, answered at once: preset list, show, delete and import, and preset save
    // with the settings qv7ctl read (`words`: the command's words, --json and the like taken off).
    static bool takesAtOnce(const std::vector<std::string>& words);
    // One of those; `attachment` is an import's document (handover::takeAttachment), nothing else has one.
    handover::Reply run(const std::string& command, const std::vector<std::string>& operands, bool json,
                        const std::optional<std::string>& attachment);
    // preset save NAME, with the settings the device has acknowledged.
    handover::Reply save(const std::vector<std::string>& operands, const ParameterSet& deviceSetting);

private:
    PresetLibrary& library_;
    Divert divert_;
};

}  // namespace qv7::panel
