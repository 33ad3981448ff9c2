// The main window's behaviour: the window's operations and the driver's event reactions, on plain values.
#include "panel/panel_controller.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "panel/control_table.h"
#include "common/gbk_text.h"

namespace qv7::panel {

namespace {

constexpr int kLiveReference = -1;  // liveVol: the firmware's live-volume maximum

enum class Group { Volume, Equaliser, Reverb, Voice, Ducking, PowerOff, NoiseThreshold, NoiseFloor };

constexpr std::array<int, 11> kOriginalFirmwareDisabled = {1053, 1055, 1057, 1072, 1068, 1020,
                                                           1052, 1067, 1070, 1071, 1077};

const std::array<std::string_view, 3> kFixedQuickKeyCaptions = {"原声", "唱歌", "喊麦"};

}  // namespace

// A slider, the record byte it stands for and its value label. Inverted sliders store reference − position.
struct PanelController::SliderBinding {
    int slider;
    int label;
    Group group;
    bool advanced;
    uint8_t byte;
    int reference;  // 0: not inverted
    int labelOffset;
    int min, max;
};

std::span<const PanelController::SliderBinding> PanelController::bindings() {
    static const SliderBinding table[] = {
        {1000, 1033, Group::Volume, false, 0, 16, 0, 0, 16},
        {1001, 1034, Group::Volume, false, 2, 16, 0, 0, 16},
        {1002, 1035, Group::Volume, false, 1, 16, 0, 0, 16},
        {1003, 1036, Group::Volume, false, 3, kLiveReference, 0, 0, 16},
        {1004, 1037, Group::Equaliser, false, 18, 48, 24, 0, 48},
        {1005, 1038, Group::Equaliser, false, 19, 48, 24, 0, 48},
        {1006, 1039, Group::Equaliser, false, 20, 48, 24, 0, 48},
        {1007, 1040, Group::Equaliser, false, 21, 48, 24, 0, 48},
        {1008, 1041, Group::Equaliser, false, 22, 48, 24, 0, 48},
        {1009, 1042, Group::Equaliser, false, 23, 48, 24, 0, 48},
        {1010, 1043, Group::Equaliser, false, 24, 48, 24, 0, 48},
        {1022, 1032, Group::PowerOff, false, 16, 21, 0, 1, 20},
        {1011, 1044, Group::Reverb, false, 7, 16, 0, 0, 16},
        {1012, 1045, Group::Reverb, false, 8, 16, 0, 0, 16},
        {1013, 1046, Group::Reverb, false, 9, 6, 0, 0, 6},
        {1014, 1047, Group::Reverb, false, 10, 21, 0, 1, 20},
        {1068, 1069, Group::Reverb, false, 28, 21, 0, 1, 20},
        {1072, 1073, Group::Reverb, false, 29, 21, 0, 1, 20},
        {1025, 1048, Group::Voice, false, 12, 0, 0, 0, 11},
        {1026, 1049, Group::Voice, false, 13, 20, 0, 0, 20},
        {1029, 1050, Group::Voice, false, 14, 24, 12, 0, 24},
        {1053, 1054, Group::Ducking, false, 25, 9, 0, 1, 8},
        {1055, 1056, Group::Ducking, false, 26, 9, 0, 1, 8},
        {1057, 1058, Group::Ducking, false, 27, 9, 0, 1, 8},
        {1081, 1083, Group::NoiseThreshold, true, 5, 0, 0, 0, 16},
        {1082, 1084, Group::NoiseFloor, true, 6, 0, 0, 0, 16},
    };
    return table;
}

const PanelController::SliderBinding* PanelController::bindingOf(int slider) {
    for (const auto& b : bindings())
        if (b.slider == slider) return &b;
    return nullptr;
}

std::string KeyName(int index) {
    static const char* const names[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    return index >= 0 && index < 12 ? names[index] : "";
}

PanelController::PanelController(StepTimer& timer, DeviceLink& link, PanelView& view, LineWriter trace, Clock* clock)
    : clock_(clock != nullptr ? *clock : steadyClock_),
      timer_(timer), session_(driver_, timer, this), link_(link), view_(view), trace_(orStdout(std::move(trace))) {
    driver_.setMessageSink(&view_);
    driver_.setDiagnostics(trace_);
    for (const auto& c : controlTable())
        if (c.id != 0) controls_[c.id].text = std::string(c.caption);
    setText(1031, std::string(kStatusNoDevice));
}

const ControlState& PanelController::control(int id) const {
    static const ControlState none{};
    auto it = controls_.find(id);
    return it == controls_.end() ? none : it->second;
}

std::set<int> PanelController::allIds() const {
    std::set<int> ids;
    for (const auto& [id, state] : controls_) ids.insert(id);
    return ids;
}

int PanelController::radioIndex(int firstId) const {
    const int count = firstId == 1061 ? 3 : 2;
    for (int i = 0; i < count; ++i)
        if (value(firstId + i) != 0) return i;
    return -1;
}

void PanelController::set(int id, int value) {
    auto& c = controls_[id];
    if (bindingOf(id)) value = std::clamp(value, c.min, c.max);  // a track bar keeps its range
    c.value = value;
    dirty_.insert(id);
}

void PanelController::setText(int id, std::string text) {
    controls_[id].text = std::move(text);
    dirty_.insert(id);
}

void PanelController::enable(int id, bool on) {
    controls_[id].enabled = on;
    dirty_.insert(id);
}

void PanelController::setRange(int id, int min, int max) {
    auto& c = controls_[id];
    c.min = min;
    c.max = max;
    c.value = std::clamp(c.value, min, max);
    dirty_.insert(id);
}

void PanelController::setRadio(int firstId, int count, int index) {
    for (int i = 0; i < count; ++i) set(firstId + i, i == index ? 1 : 0);
}

void PanelController::touchAll() {
    for (const auto& [id, state] : controls_) dirty_.insert(id);
}

void PanelController::flush() {
    if (dirty_.empty()) return;
    std::set<int> ids;
    ids.swap(dirty_);
    view_.controlsChanged(ids);
}

void PanelController::trace(std::string_view line) { trace_(line); }

int PanelController::liveMax() const { return driver_.firmware().liveVolumeMax; }

int PanelController::fieldFromPosition(const SliderBinding& b, int position) const {
    if (b.reference == 0) return position;
    const int reference = b.reference == kLiveReference ? liveMax() : b.reference;
    return reference - position;
}

// Label (and for the key slider its name) from a field value.
void PanelController::showField(const SliderBinding& b, int field) {
    if (b.slider == 1025) {
        setText(b.label, KeyName(field));
        return;
    }
    set(b.label, field - b.labelOffset);
    setText(b.label, std::to_string(field - b.labelOffset));
}

void PanelController::initialise(std::span<const std::string> presetNames) {
    entry(depth_, [&] {
        driver_.mfiInit();
        for (const auto& b : bindings()) setRange(b.slider, b.min, b.max);
        presetItems_.assign(presetNames.begin(), presetNames.end());
        set(1064, presetItems_.empty() ? -1 : 0);
        // A radio group's bound index starts at 0 like every bound value, and index 0 is its first button.
        setRadio(1059, 2, 0);
        setRadio(1061, 3, 0);
        for (const auto& b : bindings()) showField(b, fieldFromPosition(b, value(b.slider)));
        touchAll();
        resetUpdateGroup();
        disableInteractive();
        connectAttempt(1);
    }, [this] { flush(); });
}

void PanelController::showLiveLabel() {
    if (const SliderBinding* b = bindingOf(1003)) showField(*b, fieldFromPosition(*b, value(1003)));
}

void PanelController::disableInteractive() {
    for (int id : kInteractiveSet) enable(id, false);
}

void PanelController::connectAttempt(int startMode) {
    driver_.setStartMode(startMode);
    if (HidTransport* transport = link_.open()) {
        view_.cancelFirmwareCheck();
        setText(1031, std::string(kStatusConnected));
        session_.setTransport(transport);
        session_.connect(startMode);
    }
    trace("in\n");
}

void PanelController::onArrival() {
    entry(depth_, [&] { connectAttempt(2); }, [this] { flush(); });
}

void PanelController::onRemoval() {
    entry(depth_, [&] {
        if (!link_.probe()) {
            disableInteractive();
            view_.cancelFirmwareCheck();
            link_.close();
            session_.setTransport(nullptr);
            setRange(1003, 0, 16);
            setText(1031, std::string(kStatusNoDevice));
            setText(1051, "");
            resetUpdateGroup();
            set(1020, 0);
            set(1052, 0);
            session_.deviceGone();
            // The narrower range may have moved the live-volume slider: its label follows what it shows.
            showLiveLabel();
            deviceSetting_ = controlSetting_ = ParameterSet{};
            deviceAdvanced_ = controlAdvanced_ = AdvancedSettings{};
            touchAll();
        }
        trace("out\n");
    }, [this] { flush(); });
}

void PanelController::onReport(std::span<const uint8_t> report) {
    entry(depth_, [&] { session_.onReport(report); }, [this] { flush(); });
}

void PanelController::onTimer() {
    entry(depth_, [&] {
        session_.onTimer();
        if (update_.watchTransfer(driver_, clock_.nowMs())) showUpdateGroup();
    }, [this] { flush(); });
}

void PanelController::onLinkEvent(int wParam, int lParam) {
    entry(depth_, [&] {
        switch (wParam) {
        case 1:  // identified
            if (original())
                for (std::size_t k = 0; k < kQuickKeyButtons.size(); ++k)
                    setText(kQuickKeyButtons[k], std::string(kFixedQuickKeyCaptions[k]));
            setRange(1003, 0, liveMax());
            break;
        case 2:
            setText(1051, driver_.batteryText());
            break;
        case 3:
            view_.startFirmwareCheck();
            break;
        case 4:
            refreshFromDevice();
            break;
        case 6:
            for (std::size_t k = 0; k < kQuickKeyButtons.size(); ++k)
                setText(kQuickKeyButtons[k], gbk::toUtf8Display(driver_.quickKeyName(static_cast<int>(k))));
            break;
        case 8: {
            // Packet-ready (1) and progress (2) have been written and re-armed by the session.
            const bool text = update_.onTransferEvent(wParam, lParam, driver_.progressPercent());
            const bool stall = update_.watchTransfer(driver_, clock_.nowMs());
            if (text || stall) showUpdateGroup();
            if (lParam == 3) {
                timer_.restart(mfi::kStepTimerMs);
            } else if (lParam == 4) {
                // The device needs longer for the write; the packet-ready that follows re-arms at 1000 ms.
                timer_.restart(3 * mfi::kStepTimerMs);
            }
            break;
        }
        default:
            break;
        }
    }, [this] { flush(); });
}

void PanelController::refreshFromDevice() {
    DumpParameterSet(driver_.deviceParameters(), trace_);
    DumpAdvancedSettings(driver_.deviceAdvanced(), trace_);
    if (!enabled(1000)) EnableControls();
    if (driver_.deviceParameters() != deviceSetting_) {
        deviceSetting_ = controlSetting_ = driver_.deviceParameters();
        SettingToControl();
    }
    if (driver_.deviceAdvanced() != deviceAdvanced_) {
        deviceAdvanced_ = controlAdvanced_ = driver_.deviceAdvanced();
        AdvancedToControl();
    }
}

void PanelController::EnableControls() {
    for (int id : kInteractiveSet) enable(id, true);
    const int index = value(1064);
    char line[16];
    std::snprintf(line, sizeof line, "%d\n", index);
    trace(line);
    enable(1065, index >= 62);
    if (original())
        for (int id : kOriginalFirmwareDisabled) enable(id, false);
    const bool noiseReduction = driver_.firmware().sevenAdvanced;
    for (int id : {1081, 1082, 1080}) enable(id, noiseReduction);
    if (!driver_.firmware().earMonitor) enable(1077, false);
}

void PanelController::equaliserRule() {
    for (int id = 1004; id <= 1010; ++id) enable(id, value(1027) != 0);
}

void PanelController::effectRule() {
    switch (radioIndex(1061)) {
    case 0:
        enable(1025, false), enable(1026, false), enable(1029, false);
        break;
    case 1:
        enable(1025, true), enable(1026, true), enable(1029, false);
        break;
    case 2:
        enable(1025, false), enable(1026, false), enable(1029, true);
        break;
    default:
        break;
    }
}

void PanelController::duckingRule() {
    if (original()) return;
    for (int id : {1053, 1055, 1057}) enable(id, value(1019) != 0);
}

void PanelController::powerOffRule() { enable(1022, value(1021) != 0); }

void PanelController::SettingToControl() {
    const auto bytes = deviceSetting_.bytes();
    set(1019, bytes[6] != 0);
    set(1021, bytes[15] != 0);
    set(1027, bytes[17] != 0);
    setRadio(1059, 2, bytes[5]);
    setRadio(1061, 3, bytes[11]);
    for (const auto& b : bindings()) {
        if (b.advanced) continue;
        const int field = bytes[b.byte];
        const int reference = b.reference == kLiveReference ? liveMax() : b.reference;
        set(b.slider, b.reference == 0 ? field : reference - field);
        showField(b, field);
    }
    equaliserRule();
    effectRule();
    duckingRule();
    powerOffRule();
}

void PanelController::AdvancedToControl() {
    set(1077, deviceAdvanced_.erfan != 0);
    set(1080, deviceAdvanced_.denoise_switch != 0);
    for (const auto& b : bindings()) {
        if (!b.advanced) continue;
        const int field = deviceAdvanced_.at(b.byte);
        set(b.slider, field);
        showField(b, field);
    }
    enable(1081, deviceAdvanced_.denoise_switch != 0);
    enable(1082, value(1080) != 0);
}

void PanelController::ControlToSetting() {
    if (controlSetting_ == deviceSetting_) return;
    deviceSetting_ = controlSetting_;
    // Before the device has reported its settings a change is absorbed, never sent later.
    if (!driver_.mfiParamsReceived()) return;
    trace("ControlToSetting\n");
    driver_.mfiSetPara(deviceSetting_);
}

void PanelController::ControlToAdvanced() {
    if (controlAdvanced_ == deviceAdvanced_) return;
    deviceAdvanced_ = controlAdvanced_;
    if (!driver_.mfiParamsReceived()) return;
    trace("ControlToAdvanced\n");
    driver_.mfiSetAdvanced(deviceAdvanced_);
}

void PanelController::sliderGroup(int slider) {
    const SliderBinding* moved = bindingOf(slider);
    if (moved->advanced) {
        const int field = value(slider);
        showField(*moved, field);
        controlAdvanced_.set(moved->byte, static_cast<uint8_t>(field));
        ControlToAdvanced();
        return;
    }
    if (moved->group == Group::Ducking) duckingRule();
    for (const auto& b : bindings()) {
        if (b.group != moved->group) continue;
        const int field = fieldFromPosition(b, value(b.slider));
        showField(b, field);
        controlSetting_.set(b.byte, static_cast<uint8_t>(field));
    }
    ControlToSetting();
}

void PanelController::onSliderMoved(int id, int position) {
    if (!bindingOf(id)) return;
    entry(depth_, [&] {
        set(id, position);
        sliderGroup(id);
    }, [this] { flush(); });
}

void PanelController::onClicked(int id, bool checked) {
    entry(depth_, [&] {
        const int state = checked ? 1 : 0;
        switch (id) {
        case 1019:
            set(id, state);
            controlSetting_.dodgeSwitch = static_cast<uint8_t>(state);
            duckingRule();
            ControlToSetting();
            break;
        case 1021:
            set(id, state);
            controlSetting_.auto_poweroff = static_cast<uint8_t>(state);
            powerOffRule();
            ControlToSetting();
            break;
        case 1027:
            set(id, state);
            controlSetting_.eqSwitch = static_cast<uint8_t>(state);
            equaliserRule();
            ControlToSetting();
            break;
        case 1059:
        case 1060:
            setRadio(1059, 2, id - 1059);
            controlSetting_.accompany = static_cast<uint8_t>(id - 1059);
            ControlToSetting();
            break;
        case 1061:
        case 1062:
        case 1063:
            setRadio(1061, 3, id - 1061);
            controlSetting_.effectSwitch = static_cast<uint8_t>(id - 1061);
            effectRule();
            ControlToSetting();
            break;
        case 1077:
            set(id, state);
            controlAdvanced_.erfan = static_cast<uint8_t>(state);
            ControlToAdvanced();
            break;
        case 1080: {
            set(id, state);
            char line[32];
            std::snprintf(line, sizeof line, "denoise_switch(%d)\n", state);
            trace(line);
            controlAdvanced_.denoise_switch = static_cast<uint8_t>(state);
            enable(1081, state != 0);
            enable(1082, state != 0);
            ControlToAdvanced();
            break;
        }
        case 1020:
            set(id, state);
            driver_.mfiSetMix(state);
            break;
        case 1052:
            set(id, state);
            driver_.mfiSetCharge(state);
            break;
        case 1067:
        case 1070:
        case 1071: {
            // A left click selects the key's preset on the device.
            const auto k = std::find(kQuickKeyButtons.begin(), kQuickKeyButtons.end(), id) - kQuickKeyButtons.begin();
            driver_.mfiSetMode(static_cast<int>(k));
            break;
        }
        case 1030:
        case 1065:
        case 1066:
            view_.presetCommand(id);
            break;
        case 1074:
            askFirmwareUpdate();
            break;
        default:
            break;
        }
    }, [this] { flush(); });
}

void PanelController::onPresetSelected(int index) {
    entry(depth_, [&] {
        set(1064, index);
        view_.presetSelected(index);
    }, [this] { flush(); });
}

void PanelController::setPresetItems(std::vector<std::string> items) {
    entry(depth_, [&] {
        presetItems_ = std::move(items);
        dirty_.insert(1064);
    }, [this] { flush(); });
}

void PanelController::selectPresetItem(int index) {
    entry(depth_, [&] { set(1064, index); }, [this] { flush(); });
}

void PanelController::enablePresetDelete(bool on) {
    entry(depth_, [&] { enable(1065, on); }, [this] { flush(); });
}

void PanelController::ApplyPreset(PresetLibrary& library) {
    entry(depth_, [&] { library.ApplyPreset(driver_, deviceSetting_, controlSetting_); }, [this] { flush(); });
}

void PanelController::setQuickKeyCaption(int key, std::string caption) {
    if (key < 0 || key >= static_cast<int>(kQuickKeyButtons.size())) return;
    entry(depth_, [&] { setText(kQuickKeyButtons[static_cast<std::size_t>(key)], std::move(caption)); }, [this] { flush(); });
}

bool PanelController::onQuickKeyRightClick(int id) {
    const auto it = std::find(kQuickKeyButtons.begin(), kQuickKeyButtons.end(), id);
    if (it == kQuickKeyButtons.end() || !enabled(id)) return false;
    view_.replaceQuickKey(static_cast<int>(it - kQuickKeyButtons.begin()));
    return true;
}

}  // namespace qv7::panel
