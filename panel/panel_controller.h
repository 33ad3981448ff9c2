// The main window's behaviour without a toolkit: bound values by control id, enable rules, send-on-change, device life
// cycle.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/clock.h"
#include "device/hid_transport.h"
#include "device/link_session.h"
#include "device/mfi.h"
#include "params/parameter_set.h"
#include "presets/preset_library.h"
#include "update/firmware_update.h"

namespace qv7::panel {

// What one control shows: a position, check state or label number in `value`, a caption in `text`.
struct ControlState {
    int value = 0;
    int min = 0;
    int max = 0;
    bool enabled = true;
    std::string text;  // UTF-8
};

// The device side the connect and removal sequences drive; the window implements it with a
// device provider and the read worker.
class DeviceLink {
public:
    virtual ~DeviceLink() = default;
    // Opens the device and starts its read worker, first retiring any device and worker still open.
    // Null when there is nothing to open.
    virtual HidTransport* open() = 0;
    // After a removal notice: whether the device can still be reached.
    virtual bool probe() = 0;
    // Stops the read worker and lets the device go.
    virtual void close() = 0;
    // After an open() that gave nothing: the node of a device that is there but may not be opened by this user.
    virtual std::string deniedPath() const { return {}; }
    // After open() found nothing: whether that is because another program holds the device (it arrives again
    // once that program lets go).
    virtual bool heldElsewhere() const { return false; }
    // Runs `then` once every report that has arrived from the device so far has been handed to onReport (at
    // once when none waits). A link that holds reports back from the window thread orders them before a tick.
    virtual void afterArrived(std::function<void()> then) { then(); }
};

// The window's reactions that are not control state.
class PanelView : public MessageSink {
public:
    // These controls changed: mirror them onto their widgets.
    virtual void controlsChanged(const std::set<int>& ids) = 0;
    virtual void replaceQuickKey(int /*key*/) {}
    virtual void startFirmwareCheck() {}
    // A new connection or a removal: a check still running belongs to a conversation that is over.
    virtual void cancelFirmwareCheck() {}
    // A question with OK and Cancel; `answer` runs later, on the window thread, with true for OK.
    virtual void askQuestion(const std::string& /*text*/, const std::string& /*caption*/,
                             std::function<void(bool)> answer) {
        answer(false);
    }
    virtual void presetCommand(int /*id*/) {}
    // A device is at `path` but this user may not open it: tell them how to get access.
    virtual void adviseAccess(const std::string& /*path*/) {}
    // The user chose item `index` of combo 1064.
    virtual void presetSelected(int /*index*/) {}
};

// Index to key text: "C" .. "B", empty outside 0..11.
std::string KeyName(int index);

class PanelController : public LinkEventSink {
public:
    // `clock` tells the time the update group measures a stalled transfer by (the steady clock when null).
    PanelController(StepTimer& timer, DeviceLink& link, PanelView& view, LineWriter trace = {}, Clock* clock = nullptr);

    // Window initialisation from the driver's set-up to the first connect attempt. `presetNames`
    // fills combo 1064 (item 0 selected when it is not empty).
    void initialise(std::span<const std::string> presetNames = {});

    // Device notifications.
    void onArrival();
    void onRemoval();

    // The read worker's report, on the window thread.
    void onReport(std::span<const uint8_t> report);
    // A line of the read loop's (the device went), on the window thread: into the controller's trace.
    void traceReaderLine(std::string_view line) { trace(line); }
    void onTimer();

    // User input, as the widgets report it.
    void onSliderMoved(int id, int position);
    void onClicked(int id, bool checked);  // check boxes, radio buttons (checked = true) and push buttons
    void onPresetSelected(int index);
    // Right-button press over quick-key button `id`; true when it went to ReplaceQuickKey.
    bool onQuickKeyRightClick(int id);

    // The preset library's mirror: combo 1064's items and selection, "删除效果" (1065). A selection
    // made here is not reported back as onPresetSelected.
    void setPresetItems(std::vector<std::string> items);
    void selectPresetItem(int index);
    void enablePresetDelete(bool on);
    // "使用效果": the library writes both setting copies and sends; the controls then show them.
    void ApplyPreset(PresetLibrary& library);
    // Settings another program asked for (qv7ctl, through the panel): sent and shown as moving the controls
    // would, a record that did not change left alone.
    void applyRecords(const ParameterSet& parameters, const AdvancedSettings& advanced);
    // Key `key`'s caption, shown at once after a replacement.
    void setQuickKeyCaption(int key, std::string caption);
    // The quick keys' names as the window shows them: what the device last named, or a key stored since. What the
    // panel reports of the keys comes from here, so it never disagrees with the buttons.
    std::array<std::string, 3> quickKeyNames() const;

    // Bindings (names as the window's operations are known).
    void ControlToSetting();
    void ControlToAdvanced();
    void SettingToControl();
    void AdvancedToControl();
    void EnableControls();

    void onLinkEvent(int wParam, int lParam) override;

    // A verified firmware offer, on the window thread: held, and the update button armed.
    void onFirmwareOffer(const FirmwareOffer& offer);
    const FirmwareUpdateGroup& updateGroup() const { return update_; }

    const ControlState& control(int id) const;
    bool enabled(int id) const { return control(id).enabled; }
    int value(int id) const { return control(id).value; }
    const std::string& text(int id) const { return control(id).text; }
    // Index of the radio group that starts at `firstId` (1059 or 1061); -1 when none is selected.
    int radioIndex(int firstId) const;
    std::set<int> allIds() const;
    // Items of combo 1064.
    const std::vector<std::string>& presetItems() const { return presetItems_; }

    mfi& driver() { return driver_; }
    const mfi& driver() const { return driver_; }
    LinkSession& session() { return session_; }
    bool deviceOpen() const { return session_.transport() != nullptr; }
    // Where the open Tolka is (a hidraw path, the simulator, a socket); empty when none is open.
    std::string deviceDescription() const { return deviceOpen() ? session_.transport()->describe() : std::string(); }

    const ParameterSet& deviceSetting() const { return deviceSetting_; }
    const ParameterSet& controlSetting() const { return controlSetting_; }
    const AdvancedSettings& deviceAdvanced() const { return deviceAdvanced_; }
    const AdvancedSettings& controlAdvanced() const { return controlAdvanced_; }

private:
    struct SliderBinding;
    static const SliderBinding* bindingOf(int slider);
    static std::span<const SliderBinding> bindings();

    void connectAttempt(int startMode);
    void refreshFromDevice();
    void sliderGroup(int slider);
    void showLiveLabel();
    void showQuickKeyNames();
    void showField(const SliderBinding& b, int field);
    int fieldFromPosition(const SliderBinding& b, int position) const;
    int liveMax() const;
    bool original() const { return driver_.isOriginalFirmware(); }

    void set(int id, int value);
    void setText(int id, std::string text);
    void enable(int id, bool on);
    void setRange(int id, int min, int max);
    void setRadio(int firstId, int count, int index);
    // Runs `f` as a public entry point: control changes are handed to the view once, at the outermost level.
    template <typename F>
    void entry(F&& f) {
        ++depth_;
        f();
        if (--depth_ == 0) flush();
    }
    void resetUpdateGroup();
    void showUpdateGroup();
    void askFirmwareUpdate();
    void disableInteractive();
    void touchAll();
    void flush();
    void trace(std::string_view line);

    // Switch rules.
    void equaliserRule();
    void effectRule();
    void duckingRule();
    void powerOffRule();

    mfi driver_;
    SteadyClock steadyClock_;
    Clock& clock_;
    LinkSession session_;
    DeviceLink& link_;
    PanelView& view_;
    LineWriter trace_;

    std::map<int, ControlState> controls_;
    std::vector<std::string> presetItems_;
    std::set<int> dirty_;
    int depth_ = 0;  // nesting of public entry points; the outermost flushes
    // The user has been told how to get access to the Tolka now attached; a removal of it lets the next one tell again.
    bool accessAdvised_ = false;

    ParameterSet deviceSetting_{}, controlSetting_{};
    AdvancedSettings deviceAdvanced_{}, controlAdvanced_{};

    FirmwareUpdateGroup update_;
    unsigned updateOffers_ = 0;  // counts stores and resets, so an answer to an outdated prompt is dropped
};

}  // namespace qv7::panel
