// The main window's behaviour: the window's operations and the driver's event reactions, on plain values.
#include "panel/panel_controller.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <iostream>

#include "panel/control_table.h"
#include "presets/quick_keys.h"

namespace qv7::panel {

namespace {

constexpr int kLiveReference = -1;  // liveVol: the firmware's live-volume maximum

// A transfer event's lParam that asks for the usual step period again; today's driver raises no such event.
constexpr int kTransferStepPeriod = 3;

enum class Group { Volume, Equaliser, Reverb, Voice, Ducking, PowerOff, NoiseThreshold, NoiseFloor };

constexpr std::array<int, 11> kOriginalFirmwareDisabled = {
    kDuckThresholdSliderId, kDuckSpeedSliderId, kDuckLevelSliderId, kLowCutSliderId,
    kHighCutSliderId,       kStereoMixCheckId,  kChargeCheckId,     kQuickKey1ButtonId,
    kQuickKey2ButtonId,     kQuickKey3ButtonId, kEarMonitorCheckId};

}  // namespace

// A slider, the record byte it stands for and its value label. Inverted sliders store reference − position.
struct PanelController::SliderBinding {
    int slider;
    int label;
    Group group;
    bool advanced = false;  // a byte of AdvancedSettings rather than of ParameterSet
    uint8_t byte;
    int reference = 0;  // 0: not inverted
    int labelOffset = 0;
    int min = 0, max;
};

std::span<const PanelController::SliderBinding> PanelController::bindings() {
    // One binding per row, aligned by field.
    // clang-format off
    static const SliderBinding table[] = {
        {.slider = kMonitorVolSliderId, .label = kMonitorVolLabelId, .group = Group::Volume,
         .byte = offsetof(ParameterSet, monitorVol), .reference = 16, .max = 16},
        {.slider = kMicVolSliderId, .label = kMicVolLabelId, .group = Group::Volume,
         .byte = offsetof(ParameterSet, micVol), .reference = 16, .max = 16},
        {.slider = kMusicVolSliderId, .label = kMusicVolLabelId, .group = Group::Volume,
         .byte = offsetof(ParameterSet, musicVol), .reference = 16, .max = 16},
        {.slider = kLiveVolSliderId, .label = kLiveVolLabelId, .group = Group::Volume,
         .byte = offsetof(ParameterSet, liveVol), .reference = kLiveReference, .max = 16},
        {.slider = kEqBandSliderIds[0], .label = kEqBandLabelIds[0], .group = Group::Equaliser,
         .byte = offsetof(ParameterSet, eqGain) + 0, .reference = 48, .labelOffset = 24, .max = 48},
        {.slider = kEqBandSliderIds[1], .label = kEqBandLabelIds[1], .group = Group::Equaliser,
         .byte = offsetof(ParameterSet, eqGain) + 1, .reference = 48, .labelOffset = 24, .max = 48},
        {.slider = kEqBandSliderIds[2], .label = kEqBandLabelIds[2], .group = Group::Equaliser,
         .byte = offsetof(ParameterSet, eqGain) + 2, .reference = 48, .labelOffset = 24, .max = 48},
        {.slider = kEqBandSliderIds[3], .label = kEqBandLabelIds[3], .group = Group::Equaliser,
         .byte = offsetof(ParameterSet, eqGain) + 3, .reference = 48, .labelOffset = 24, .max = 48},
        {.slider = kEqBandSliderIds[4], .label = kEqBandLabelIds[4], .group = Group::Equaliser,
         .byte = offsetof(ParameterSet, eqGain) + 4, .reference = 48, .labelOffset = 24, .max = 48},
        {.slider = kEqBandSliderIds[5], .label = kEqBandLabelIds[5], .group = Group::Equaliser,
         .byte = offsetof(ParameterSet, eqGain) + 5, .reference = 48, .labelOffset = 24, .max = 48},
        {.slider = kEqBandSliderIds[6], .label = kEqBandLabelIds[6], .group = Group::Equaliser,
         .byte = offsetof(ParameterSet, eqGain) + 6, .reference = 48, .labelOffset = 24, .max = 48},
        {.slider = kAutoPowerOffSliderId, .label = kAutoPowerOffLabelId, .group = Group::PowerOff,
         .byte = offsetof(ParameterSet, auto_poweroff_time), .reference = 21, .min = 1, .max = 20},
        {.slider = kReverbVolSliderId, .label = kReverbVolLabelId, .group = Group::Reverb,
         .byte = offsetof(ParameterSet, rebvol), .reference = 16, .max = 16},
        {.slider = kReverbWetSliderId, .label = kReverbWetLabelId, .group = Group::Reverb,
         .byte = offsetof(ParameterSet, wet), .reference = 16, .max = 16},
        {.slider = kReverbTypeSliderId, .label = kReverbTypeLabelId, .group = Group::Reverb,
         .byte = offsetof(ParameterSet, type), .reference = 6, .max = 6},
        {.slider = kReverbDelaySliderId, .label = kReverbDelayLabelId, .group = Group::Reverb,
         .byte = offsetof(ParameterSet, delay), .reference = 21, .min = 1, .max = 20},
        {.slider = kHighCutSliderId, .label = kHighCutLabelId, .group = Group::Reverb,
         .byte = offsetof(ParameterSet, hpfCutoff), .reference = 21, .min = 1, .max = 20},
        {.slider = kLowCutSliderId, .label = kLowCutLabelId, .group = Group::Reverb,
         .byte = offsetof(ParameterSet, lpfCutoff), .reference = 21, .min = 1, .max = 20},
        {.slider = kKeySliderId, .label = kKeyLabelId, .group = Group::Voice,
         .byte = offsetof(ParameterSet, effectTone), .max = 11},
        {.slider = kTuneDepthSliderId, .label = kTuneDepthLabelId, .group = Group::Voice,
         .byte = offsetof(ParameterSet, toneCent), .reference = 20, .max = 20},
        {.slider = kVoiceEffectSliderId, .label = kVoiceEffectLabelId, .group = Group::Voice,
         .byte = offsetof(ParameterSet, effectPitch), .reference = 24, .labelOffset = 12, .max = 24},
        {.slider = kDuckThresholdSliderId, .label = kDuckThresholdLabelId, .group = Group::Ducking,
         .byte = offsetof(ParameterSet, dodgeThreshold), .reference = 9, .min = 1, .max = 8},
        {.slider = kDuckSpeedSliderId, .label = kDuckSpeedLabelId, .group = Group::Ducking,
         .byte = offsetof(ParameterSet, dodgeSpeed), .reference = 9, .min = 1, .max = 8},
        {.slider = kDuckLevelSliderId, .label = kDuckLevelLabelId, .group = Group::Ducking,
         .byte = offsetof(ParameterSet, dodgeLevel), .reference = 9, .min = 1, .max = 8},
        {.slider = kDenoiseRangeSliderId, .label = kDenoiseRangeLabelId, .group = Group::NoiseThreshold,
         .advanced = true, .byte = offsetof(AdvancedSettings, denoise_thr), .max = 16},
        {.slider = kNoiseFloorSliderId, .label = kNoiseFloorLabelId, .group = Group::NoiseFloor,
         .advanced = true, .byte = offsetof(AdvancedSettings, noise_ctr), .max = 16},
    };
    // clang-format on
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
    : clock_(clock != nullptr ? *clock : steadyClock_), session_(driver_, timer, this), link_(link), view_(view),
      trace_(orStdout(std::move(trace))) {
    driver_.setMessageSink(&view_);
    driver_.setDiagnostics(trace_);
    // The stall notice of a firmware write counts on the ticks, also once the driver has left the transfer.
    session_.setTicksWanted([this] { return update_.watching(); });
    for (const auto& c : controlTable())
        if (c.id != 0) controls_[c.id].text = std::string(c.caption);
    setText(kStatusLabelId, std::string(kStatusNoDevice));
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
    const int count = firstId == kEffectOffRadioId ? 3 : 2;
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
    if (b.slider == kKeySliderId) {
        setText(b.label, KeyName(field));
        return;
    }
    set(b.label, field - b.labelOffset);
    setText(b.label, std::to_string(field - b.labelOffset));
}

void PanelController::initialise(std::span<const std::string> presetNames) {
    entry([&] {
        driver_.mfiInit();
        for (const auto& b : bindings()) setRange(b.slider, b.min, b.max);
        presetItems_.assign(presetNames.begin(), presetNames.end());
        set(kPresetComboId, presetItems_.empty() ? -1 : 0);
        // A radio group's bound index starts at 0 like every bound value, and index 0 is its first button.
        setRadio(kNationalPlugRadioId, 2, 0);
        setRadio(kEffectOffRadioId, 3, 0);
        for (const auto& b : bindings()) showField(b, fieldFromPosition(b, value(b.slider)));
        touchAll();
        resetUpdateGroup();
        disableInteractive();
        connectAttempt(1);
    });
}

void PanelController::showLiveLabel() {
    if (const SliderBinding* b = bindingOf(kLiveVolSliderId))
        showField(*b, fieldFromPosition(*b, value(kLiveVolSliderId)));
}

void PanelController::disableInteractive() {
    for (int id : kInteractiveSet) enable(id, false);
}

void PanelController::connectAttempt(int startMode) {
    driver_.setStartMode(startMode);
    if (HidTransport* transport = link_.open()) {
        view_.cancelFirmwareCheck();
        setText(kStatusLabelId, std::string(kStatusConnected));
        session_.setTransport(transport);
        session_.connect(startMode);
        accessAdvised_ = false;
    } else if (const std::string denied = link_.deniedPath(); !denied.empty()) {
        // Not "no device": the Tolka is there and only a rule stands between it and the user. Every arrival
        // notice of the same plug-in would ask again, so the advice comes once until the Tolka goes.
        setText(kStatusLabelId, std::string(kStatusNoAccess));
        if (!accessAdvised_) {
            accessAdvised_ = true;
            view_.adviseAccess(denied);
        }
    } else if (link_.heldElsewhere()) {
        setText(kStatusLabelId, std::string(kStatusHeldElsewhere));
    }
    trace("in\n");
}

void PanelController::onArrival() {
    entry([&] { connectAttempt(2); });
}

void PanelController::onRemoval() {
    entry([&] {
        if (!link_.probe()) {
            disableInteractive();
            view_.cancelFirmwareCheck();
            link_.close();
            session_.setTransport(nullptr);
            setRange(kLiveVolSliderId, 0, 16);
            setText(kStatusLabelId, std::string(kStatusNoDevice));
            accessAdvised_ = false;
            setText(kBatteryLabelId, "");
            resetUpdateGroup();
            set(kStereoMixCheckId, 0);
            set(kChargeCheckId, 0);
            session_.deviceGone();
            // The narrower range may have moved the live-volume slider: its label follows what it shows.
            showLiveLabel();
            deviceSetting_ = controlSetting_ = ParameterSet{};
            deviceAdvanced_ = controlAdvanced_ = AdvancedSettings{};
            touchAll();
        }
        trace("out\n");
    });
}

void PanelController::onReport(std::span<const uint8_t> report) {
    entry([&] { session_.onReport(report); });
}

void PanelController::onTimer() {
    // The reports that had arrived when the timer fell due come first, as a window's queue puts posted
    // messages before WM_TIMER: an answer still queued behind the tick would otherwise see its request sent
    // again with the same sequence number. One that set the timer again voids the tick.
    const unsigned long sets = session_.timerSets();
    link_.afterArrived([this, sets] {
        if (session_.timerSets() != sets) return;
        entry([&] {
            session_.onTimer();
            if (update_.watchTransfer(driver_, clock_.nowMs())) showUpdateGroup();
            session_.sleepIfIdle();  // the watch may just have seen the write end
        });
    });
}

void PanelController::onLinkEvent(int wParam, int lParam) {
    entry([&] {
        switch (wParam) {
        case ev::kIdentified[0]:
            if (original()) showQuickKeyNames();
            setRange(kLiveVolSliderId, 0, liveMax());
            break;
        case ev::kBattery[0]:
            setText(kBatteryLabelId, driver_.batteryText());
            break;
        case ev::kChipSerial[0]:
            view_.startFirmwareCheck();
            break;
        case ev::kParameters[0]:
            refreshFromDevice();
            break;
        case ev::kQuickKeyNames[0]:
            showQuickKeyNames();
            break;
        case ev::kPacketReady[0]: {  // every event of a firmware transfer
            // Packet-ready and progress have been written and re-armed by the session.
            const bool text = update_.onTransferEvent(wParam, lParam, driver_.progressPercent());
            const bool stall = update_.watchTransfer(driver_, clock_.nowMs());
            if (text || stall) showUpdateGroup();
            if (lParam == kTransferStepPeriod) {
                session_.timer().restart(mfi::kStepTimerMs);
            } else if (isEvent(wParam, lParam, ev::kOverSent)) {
                // The device needs longer for the write; the packet-ready that follows re-arms at 1000 ms.
                session_.timer().restart(3 * mfi::kStepTimerMs);
            }
            break;
        }
        default:
            break;
        }
    });
}

void PanelController::refreshFromDevice() {
    DumpParameterSet(driver_.deviceParameters(), trace_);
    DumpAdvancedSettings(driver_.deviceAdvanced(), trace_);
    if (!enabled(kMonitorVolSliderId)) EnableControls();
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
    const int index = value(kPresetComboId);
    char line[16];
    std::snprintf(line, sizeof line, "%d\n", index);
    trace(line);
    enable(kDeletePresetButtonId, index >= 62);
    if (original())
        for (int id : kOriginalFirmwareDisabled) enable(id, false);
    const bool noiseReduction = driver_.firmware().sevenAdvanced;
    for (int id : {kDenoiseRangeSliderId, kNoiseFloorSliderId, kDenoiseCheckId}) enable(id, noiseReduction);
    if (!driver_.firmware().earMonitor) enable(kEarMonitorCheckId, false);
}

void PanelController::equaliserRule() {
    for (int id : kEqBandSliderIds) enable(id, value(kEqSwitchCheckId) != 0);
}

void PanelController::effectRule() {
    switch (radioIndex(kEffectOffRadioId)) {
    case 0:
        enable(kKeySliderId, false), enable(kTuneDepthSliderId, false), enable(kVoiceEffectSliderId, false);
        break;
    case 1:
        enable(kKeySliderId, true), enable(kTuneDepthSliderId, true), enable(kVoiceEffectSliderId, false);
        break;
    case 2:
        enable(kKeySliderId, false), enable(kTuneDepthSliderId, false), enable(kVoiceEffectSliderId, true);
        break;
    default:
        break;
    }
}

void PanelController::duckingRule() {
    if (original()) return;
    for (int id : {kDuckThresholdSliderId, kDuckSpeedSliderId, kDuckLevelSliderId})
        enable(id, value(kDuckingCheckId) != 0);
}

void PanelController::powerOffRule() { enable(kAutoPowerOffSliderId, value(kAutoPowerOffCheckId) != 0); }

void PanelController::SettingToControl() {
    set(kDuckingCheckId, deviceSetting_.dodgeSwitch != 0);
    set(kAutoPowerOffCheckId, deviceSetting_.auto_poweroff != 0);
    set(kEqSwitchCheckId, deviceSetting_.eqSwitch != 0);
    setRadio(kNationalPlugRadioId, 2, deviceSetting_.accompany);
    setRadio(kEffectOffRadioId, 3, deviceSetting_.effectSwitch);
    const auto bytes = deviceSetting_.bytes();
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
    set(kEarMonitorCheckId, deviceAdvanced_.erfan != 0);
    set(kDenoiseCheckId, deviceAdvanced_.denoise_switch != 0);
    for (const auto& b : bindings()) {
        if (!b.advanced) continue;
        const int field = deviceAdvanced_.at(b.byte);
        set(b.slider, field);
        showField(b, field);
    }
    enable(kDenoiseRangeSliderId, deviceAdvanced_.denoise_switch != 0);
    enable(kNoiseFloorSliderId, value(kDenoiseCheckId) != 0);
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
    entry([&] {
        set(id, position);
        sliderGroup(id);
    });
}

void PanelController::onClicked(int id, bool checked) {
    entry([&] {
        const int state = checked ? 1 : 0;
        switch (id) {
        case kDuckingCheckId:
            set(id, state);
            controlSetting_.dodgeSwitch = static_cast<uint8_t>(state);
            duckingRule();
            ControlToSetting();
            break;
        case kAutoPowerOffCheckId:
            set(id, state);
            controlSetting_.auto_poweroff = static_cast<uint8_t>(state);
            powerOffRule();
            ControlToSetting();
            break;
        case kEqSwitchCheckId:
            set(id, state);
            controlSetting_.eqSwitch = static_cast<uint8_t>(state);
            equaliserRule();
            ControlToSetting();
            break;
        case kNationalPlugRadioId:
        case kHongKongPlugRadioId:
            setRadio(kNationalPlugRadioId, 2, id - kNationalPlugRadioId);
            controlSetting_.accompany = static_cast<uint8_t>(id - kNationalPlugRadioId);
            ControlToSetting();
            break;
        case kEffectOffRadioId:
        case kAutoTuneRadioId:
        case kVoiceChangeRadioId:
            setRadio(kEffectOffRadioId, 3, id - kEffectOffRadioId);
            controlSetting_.effectSwitch = static_cast<uint8_t>(id - kEffectOffRadioId);
            effectRule();
            ControlToSetting();
            break;
        case kEarMonitorCheckId:
            set(id, state);
            controlAdvanced_.erfan = static_cast<uint8_t>(state);
            ControlToAdvanced();
            break;
        case kDenoiseCheckId: {
            set(id, state);
            char line[32];
            std::snprintf(line, sizeof line, "denoise_switch(%d)\n", state);
            trace(line);
            controlAdvanced_.denoise_switch = static_cast<uint8_t>(state);
            enable(kDenoiseRangeSliderId, state != 0);
            enable(kNoiseFloorSliderId, state != 0);
            ControlToAdvanced();
            break;
        }
        case kStereoMixCheckId:
            set(id, state);
            driver_.mfiSetMix(state);
            break;
        case kChargeCheckId:
            set(id, state);
            driver_.mfiSetCharge(state);
            break;
        case kQuickKey1ButtonId:
        case kQuickKey2ButtonId:
        case kQuickKey3ButtonId: {
            // A left click selects the key's preset on the device.
            const auto k = std::find(kQuickKeyButtons.begin(), kQuickKeyButtons.end(), id) - kQuickKeyButtons.begin();
            driver_.mfiSetMode(static_cast<int>(k));
            break;
        }
        case kSavePresetButtonId:
        case kDeletePresetButtonId:
        case kApplyPresetButtonId:
            view_.presetCommand(id);
            break;
        case kUpdateButtonId:
            askFirmwareUpdate();
            break;
        default:
            break;
        }
    });
}

void PanelController::onPresetSelected(int index) {
    entry([&] {
        set(kPresetComboId, index);
        view_.presetSelected(index);
    });
}

void PanelController::setPresetItems(std::vector<std::string> items) {
    entry([&] {
        presetItems_ = std::move(items);
        dirty_.insert(kPresetComboId);
    });
}

void PanelController::selectPresetItem(int index) {
    entry([&] { set(kPresetComboId, index); });
}

void PanelController::enablePresetDelete(bool on) {
    entry([&] { enable(kDeletePresetButtonId, on); });
}

void PanelController::ApplyPreset(PresetLibrary& library) {
    entry([&] { library.ApplyPreset(driver_, deviceSetting_, controlSetting_); });
}

void PanelController::applyRecords(const ParameterSet& parameters, const AdvancedSettings& advanced) {
    entry([&] {
        controlSetting_ = parameters;
        controlAdvanced_ = advanced;
        ControlToSetting();
        ControlToAdvanced();
        SettingToControl();
        AdvancedToControl();
    });
}

void PanelController::showQuickKeyNames() {
    const auto names = quickKeyCaptions(driver_);
    for (std::size_t k = 0; k < kQuickKeyButtons.size(); ++k) setText(kQuickKeyButtons[k], names[k]);
}

std::array<std::string, 3> PanelController::quickKeyNames() const {
    std::array<std::string, 3> names;
    for (std::size_t k = 0; k < kQuickKeyButtons.size(); ++k) names[k] = text(kQuickKeyButtons[k]);
    return names;
}

void PanelController::setQuickKeyCaption(int key, std::string caption) {
    if (key < 0 || key >= static_cast<int>(kQuickKeyButtons.size())) return;
    entry([&] { setText(kQuickKeyButtons[static_cast<std::size_t>(key)], std::move(caption)); });
}

bool PanelController::onQuickKeyRightClick(int id) {
    const auto it = std::find(kQuickKeyButtons.begin(), kQuickKeyButtons.end(), id);
    if (it == kQuickKeyButtons.end() || !enabled(id)) return false;
    view_.replaceQuickKey(static_cast<int>(it - kQuickKeyButtons.begin()));
    return true;
}

}  // namespace qv7::panel
