#include "panel/forwarded_commands.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <utility>

#include "panel/control_table.h"
#include "presets/device_report.h"

namespace qv7::panel {

namespace {

const std::set<std::string>& commandNames() {
    static const std::set<std::string> names = {"info", "get",          "set",         "mix",      "charge",
                                                "key",  "preset apply", "preset save", "key store"};
    return names;
}

}  // namespace

ForwardedCommands::ForwardedCommands(PanelController& controller, FindPreset findPreset, ForwardedPresets* presets)
    : controller_(controller), findPreset_(std::move(findPreset)), presets_(presets) {}

bool ForwardedCommands::takes(const std::string& command) { return commandNames().count(command) != 0; }

handover::Reply ForwardedCommands::finish(int code, std::string err) {
    busy_ = false;
    steps_.clear();
    whats_.clear();
    return {code, code == handover::kOk ? std::exchange(out_, {}) : std::string(), std::move(err)};
}

bool ForwardedCommands::deviceReady() const {
    return controller_.deviceOpen() && controller_.driver().mfiParamsReceived() &&
           controller_.driver().step() == kStepIdle;
}

std::optional<handover::Reply> ForwardedCommands::start(const std::vector<std::string>& args, int64_t nowMs,
                                                        const std::optional<std::string>& attachment) {
    busy_ = true;
    started_ = false;
    next_ = 0;
    out_.clear();
    json_ = false;
    int timeoutSec = 5;
    std::vector<std::string> words;
    std::optional<std::string> library;  // the para.bin qv7ctl would use, for its preset commands
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            json_ = true;
        } else if (args[i] == handover::kLibraryOption && i + 1 < args.size()) {
            library = args[++i];
        } else if (args[i] == "--timeout" && i + 1 < args.size()) {
            const std::string& v = args[++i];
            const auto r = std::from_chars(v.data(), v.data() + v.size(), timeoutSec);
            if (r.ec != std::errc() || r.ptr != v.data() + v.size() || timeoutSec < 1 || timeoutSec > 3600)
                return usage("--timeout needs seconds from 1 to 3600, got '" + v + "'");
        } else {
            words.push_back(args[i]);
        }
    }
    deadlineMs_ = nowMs + int64_t{timeoutSec} * 1000;
    if (library && presets_ && !presets_->keeps(*library)) {
        busy_ = false;
        return handover::Reply{handover::kOtherLibrary, {}, "qv7-panel: its presets are not " + *library + "\n"};
    }
    // The preset library's commands that need no device are answered at once, device or not.
    if (presets_ && ForwardedPresets::takesAtOnce(words)) {
        busy_ = false;
        return presets_->run(words[0] + " " + words[1], {words.begin() + 2, words.end()}, json_, attachment);
    }
    if (attachment) return usage("only preset import takes an attached document");
    command_.clear();
    if (words.size() >= 2 && takes(words[0] + " " + words[1])) command_ = words[0] + " " + words[1];
    else if (!words.empty() && takes(words[0])) command_ = words[0];
    if (command_.empty())
        return usage("the panel does not carry out `" + (words.empty() ? std::string() : words[0]) + "` for qv7ctl");
    operands_.assign(words.begin() + (command_.find(' ') == std::string::npos ? 1 : 2), words.end());

    // What can be refused without the device is refused at once, as qv7ctl alone would.
    if ((command_ == "info" || command_ == "get") && !operands_.empty()) return usage(command_ + " takes no arguments");
    if (command_ == "set") {
        if (operands_.empty()) return usage("set needs NAME=VALUE arguments, e.g. set micVol=5 eqGain[6]=30");
        for (const auto& a : operands_) {
            std::string error;
            if (!parseAssignment(a, error)) return usage(error);
        }
    }
    if (command_ == "key store") {
        if (operands_.size() != 2 || operands_[0].size() != 1 || operands_[0][0] < '0' || operands_[0][0] > '2')
            return usage("key store needs a key (0, 1 or 2) and a preset name or index");
        if (!findPreset_(operands_[1]))
            return usage("no preset named or numbered '" + operands_[1] + "' (see qv7ctl preset list)");
    }
    if (command_ == "key" &&
        (operands_.size() != 1 || operands_[0].size() != 1 || operands_[0][0] < '0' || operands_[0][0] > '2'))
        return usage("key needs the quick-key number 0, 1 or 2");
    if ((command_ == "mix" || command_ == "charge") &&
        (operands_.size() != 1 || (operands_[0] != "on" && operands_[0] != "off")))
        return usage(command_ + " needs on or off");
    if (command_ == "preset apply") {
        if (operands_.size() != 1) return usage("preset apply needs a preset name or index");
        if (!findPreset_(operands_[0]))
            return usage("no preset named or numbered '" + operands_[0] + "' (see qv7ctl preset list)");
    }
    return poll(nowMs);
}

std::optional<handover::Reply> ForwardedCommands::begin() {
    PanelController& c = controller_;
    if (command_ == "info") {
        out_ = info();
        return finish(handover::kOk);
    }
    if (command_ == "get") {
        out_ = get();
        return finish(handover::kOk);
    }
    if (command_ == "preset save") {
        if (!presets_) return usage("the panel does not carry out `preset save` for qv7ctl");
        // The settings the device has acknowledged, as qv7ctl alone saves what it reads from the device.
        auto saved = presets_->save(operands_, c.deviceSetting());
        out_ = std::move(saved.out);
        return finish(saved.code, std::move(saved.err));
    }
    if (command_ == "set") {
        std::vector<Assignment> changes;
        for (const auto& a : operands_) {
            std::string unused;
            changes.push_back(*parseAssignment(a, unused));
        }
        std::string error;
        const auto plan = applyAssignments(c.driver(), c.deviceSetting(), c.deviceAdvanced(), changes, error);
        if (!plan) return usage(error);
        // As the controls send them: the parameters, and once the device has taken them the advanced settings.
        if (plan->parametersChanged) {
            whats_.push_back("setpara");
            steps_.push_back([&c, p = plan->parameters] { c.applyRecords(p, c.deviceAdvanced()); });
        }
        if (plan->advancedChanged) {
            whats_.push_back("SetAdvanced");
            steps_.push_back([&c, a = plan->advanced] { c.applyRecords(c.deviceSetting(), a); });
        }
    } else if (command_ == "key") {
        const int button = kQuickKeyButtons[static_cast<std::size_t>(operands_[0][0] - '0')];
        whats_.push_back("setmode");
        steps_.push_back([&c, button] { c.onClicked(button, true); });
    } else if (command_ == "mix" || command_ == "charge") {
        const int id = command_ == "mix" ? kStereoMixCheckId : kChargeCheckId;
        whats_.push_back(command_ == "mix" ? "setmix" : "setcharge");
        steps_.push_back([&c, id, on = operands_[0] == "on"] { c.onClicked(id, on); });
    } else if (command_ == "key store") {
        // Sent at once, as the window's "替换" sends it; the reply waits for the device's acknowledgement.
        const auto index = findPreset_(operands_[1]);
        if (!index) return usage("no preset named or numbered '" + operands_[1] + "' (see qv7ctl preset list)");
        const auto caption = storeKey_ ? storeKey_(operands_[0][0] - '0', *index) : std::nullopt;
        if (!caption) return usage("preset " + std::to_string(*index) + " cannot be stored in a key");
        what_ = "SetRepPara";
        out_ = "key " + operands_[0] + " now holds " + *caption + "\n";
    } else if (command_ == "preset apply") {
        const auto index = findPreset_(operands_[0]);
        if (!index) return usage("no preset named or numbered '" + operands_[0] + "' (see qv7ctl preset list)");
        whats_.push_back("the preset");
        steps_.push_back([&c, i = *index] {
            c.onPresetSelected(i);
            c.onClicked(kApplyPresetButtonId, true);
        });
    }
    return std::nullopt;
}

std::optional<handover::Reply> ForwardedCommands::poll(int64_t nowMs) {
    if (!busy_) return std::nullopt;
    const bool late = nowMs >= deadlineMs_;
    if (!started_) {
        if (!deviceReady()) {
            if (!late) return std::nullopt;
            return finish(handover::kNoDevice,
                          "qv7ctl: the panel holds the Tolka but its conversation was not ready in time\n");
        }
        started_ = true;
        if (auto reply = begin()) return reply;
    }
    if (controller_.driver().step() != kStepIdle || !controller_.deviceOpen()) {
        if (!controller_.deviceOpen())
            return finish(handover::kNoDevice, "qv7ctl: the device went away during " + what_ + "\n");
        if (!late) return std::nullopt;
        return finish(handover::kNoDevice,
                      "qv7ctl: no answer from the Tolka (through the panel) during " + what_ + "\n");
    }
    if (next_ < steps_.size()) {
        what_ = whats_[next_];
        steps_[next_++]();
        return std::nullopt;
    }
    return finish(handover::kOk);
}

std::string ForwardedCommands::info() const {
    return infoReport(controller_.driver(), controller_.deviceDescription(), controller_.quickKeyNames(), json_);
}

std::string ForwardedCommands::get() const {
    // What the window shows, which is what the device has acknowledged.
    return settingsReport(controller_.deviceSetting().bytes(), controller_.deviceAdvanced().bytes(), json_);
}

}  // namespace qv7::panel
