// qv7ctl's commands carried out by the panel that holds the Tolka, through the window's own controls, so the
// window shows each change as it goes out (the hand-over itself: common/handover_message.h).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/handover_message.h"
#include "device/setting_changes.h"
#include "panel/forwarded_presets.h"
#include "panel/panel_controller.h"

namespace qv7::panel {

class ForwardedCommands {
public:
    // The combo index of the preset qv7ctl names (by name or index), nothing when there is none.
    using FindPreset = std::function<std::optional<int>(const std::string&)>;

    // `presets` carries out the preset library's commands (none without it).
    ForwardedCommands(PanelController& controller, FindPreset findPreset, ForwardedPresets* presets = nullptr);

    // Stores the preset at a combo index in quick key 0..2 as the window's "替换" does; the caption the key then
    // shows, or nothing when the preset cannot be stored in a key. Without it `key store` is refused.
    using StoreKey = std::function<std::optional<std::string>(int key, int preset)>;
    void setStoreKey(StoreKey store) { storeKey_ = std::move(store); }

    // Starts one command: qv7ctl's command words, then --json and --timeout SEC as it was given them. Returns the
    // reply when it is known at once, or nothing while the device is still to answer: poll() then gives it.
    // `attachment`: the document a request carried (handover::takeAttachment), for preset import.
    std::optional<handover::Reply> start(const std::vector<std::string>& args, int64_t nowMs,
                                         const std::optional<std::string>& attachment = std::nullopt);
    std::optional<handover::Reply> poll(int64_t nowMs);
    bool busy() const { return busy_; }

    // Names of the commands taken, as qv7ctl spells them.
    static bool takes(const std::string& command);

private:
    using Step = std::function<void()>;
    handover::Reply finish(int code, std::string err = {});
    bool deviceReady() const;
    std::optional<handover::Reply> begin();
    std::string info() const;
    std::string get() const;
    handover::Reply usage(const std::string& message) { return finish(handover::kUsage, "qv7ctl: " + message + "\n"); }

    PanelController& controller_;
    FindPreset findPreset_;
    ForwardedPresets* presets_;
    StoreKey storeKey_;
    bool busy_ = false;
    bool started_ = false;  // the device was ready and the command began
    int64_t deadlineMs_ = 0;
    std::string command_;
    std::vector<std::string> operands_;
    bool json_ = false;
    std::vector<Step> steps_;  // each waits for the device's acknowledgement of the one before
    std::size_t next_ = 0;
    std::string what_;  // the step waited for, for a timeout's message
    std::vector<std::string> whats_;
    std::string out_;
};

}  // namespace qv7::panel
