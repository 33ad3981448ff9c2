// The main window's controls: identifiers, kinds, captions and dialog-unit rectangles, shared by the controller and the
// widgets.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace qv7::panel {

enum class Kind { Group, Text, ValueLabel, Slider, CheckBox, Radio, Button, Combo, Progress };
enum class Align { Left, Centre, Right };

struct DialogRect {
    int x = 0, y = 0, w = 0, h = 0;  // dialog units
};

struct ControlSpec {
    int id;  // 0 for captions and group boxes, which nothing refers to
    Kind kind;
    std::string_view caption = {};  // UTF-8; empty where the text is set at run time
    DialogRect rect;
    bool horizontal = false;  // sliders
    Align align = Align::Left;
    bool groupStart = false;  // first radio button of its group
    int enabledWith = 0;      // captions and value labels of a slider: greyed with it
    // Where a caption longer than its rectangle (the English window's) may reach, in dialog units: a right edge
    // when beyond the rectangle, a left edge when before it. 0: it keeps its rectangle.
    int roomTo = 0;
};

constexpr std::string_view kWindowTitle = "Tolka面板-Vexlor";
constexpr int kWindowWidthDu = 378;
constexpr int kWindowHeightDu = 411;

constexpr std::string_view kStatusNoDevice = "没有找到Vexlor声卡";
constexpr std::string_view kStatusConnected = "VexlorTolka连接";
constexpr std::string_view kStatusNoAccess = "Vexlor声卡没有访问权限";
// While qv7ctl holds the Tolka: the panel connects by itself once it lets go.
constexpr std::string_view kStatusHeldElsewhere = "Tolka 正由 qv7ctl 使用，稍后自动连接";
constexpr std::string_view kAboutMenuText = "关于 qv7-panel(&A)...";
constexpr std::string_view kTrayClose = "关闭";
// The menu of group "常用效果".
constexpr std::string_view kExportPresetMenuText = "导出效果…";
constexpr std::string_view kImportPresetMenuText = "导入效果…";
constexpr std::string_view kPresetFileFilter = "效果文件 (*.json);;所有文件 (*)";
constexpr std::string_view kReplaceQuestion = "已有同名的用户效果：";  // + name
constexpr std::string_view kReplaceQuestionEnd = "，是否替换？";

// Control identifiers, by group. Sliders come with the value label above them.
// Volume.
constexpr int kMonitorVolSliderId = 1000;
constexpr int kMicVolSliderId = 1001;
constexpr int kMusicVolSliderId = 1002;
constexpr int kLiveVolSliderId = 1003;
constexpr int kMonitorVolLabelId = 1033;
constexpr int kMicVolLabelId = 1034;
constexpr int kMusicVolLabelId = 1035;
constexpr int kLiveVolLabelId = 1036;
// Equaliser: its switch, and the bands from 100 Hz to 2 kHz.
constexpr int kEqSwitchCheckId = 1027;
constexpr std::array<int, 7> kEqBandSliderIds = {1004, 1005, 1006, 1007, 1008, 1009, 1010};
constexpr std::array<int, 7> kEqBandLabelIds = {1037, 1038, 1039, 1040, 1041, 1042, 1043};
// Automatic power-off.
constexpr int kAutoPowerOffCheckId = 1021;
constexpr int kAutoPowerOffSliderId = 1022;
constexpr int kAutoPowerOffLabelId = 1032;
// Reverb.
constexpr int kReverbVolSliderId = 1011;
constexpr int kReverbWetSliderId = 1012;
constexpr int kReverbTypeSliderId = 1013;
constexpr int kReverbDelaySliderId = 1014;
constexpr int kHighCutSliderId = 1068;
constexpr int kLowCutSliderId = 1072;
constexpr int kReverbVolLabelId = 1044;
constexpr int kReverbWetLabelId = 1045;
constexpr int kReverbTypeLabelId = 1046;
constexpr int kReverbDelayLabelId = 1047;
constexpr int kHighCutLabelId = 1069;
constexpr int kLowCutLabelId = 1073;
// Electronic voice and voice changer: one of three radio buttons, and their sliders.
constexpr int kEffectOffRadioId = 1061;
constexpr int kAutoTuneRadioId = 1062;
constexpr int kVoiceChangeRadioId = 1063;
constexpr int kKeySliderId = 1025;
constexpr int kTuneDepthSliderId = 1026;
constexpr int kVoiceEffectSliderId = 1029;
constexpr int kKeyLabelId = 1048;
constexpr int kTuneDepthLabelId = 1049;
constexpr int kVoiceEffectLabelId = 1050;
// Ducking.
constexpr int kDuckingCheckId = 1019;
constexpr int kDuckThresholdSliderId = 1053;
constexpr int kDuckSpeedSliderId = 1055;
constexpr int kDuckLevelSliderId = 1057;
constexpr int kDuckThresholdLabelId = 1054;
constexpr int kDuckSpeedLabelId = 1056;
constexpr int kDuckLevelLabelId = 1058;
// Noise reduction.
constexpr int kDenoiseCheckId = 1080;
constexpr int kDenoiseRangeSliderId = 1081;
constexpr int kNoiseFloorSliderId = 1082;
constexpr int kDenoiseRangeLabelId = 1083;
constexpr int kNoiseFloorLabelId = 1084;
// Others.
constexpr int kStereoMixCheckId = 1020;
constexpr int kChargeCheckId = 1052;
constexpr int kEarMonitorCheckId = 1077;
// Analogue interface: national or Hong Kong wiring.
constexpr int kNationalPlugRadioId = 1059;
constexpr int kHongKongPlugRadioId = 1060;
// The device's quick keys.
constexpr int kQuickKey1ButtonId = 1067;
constexpr int kQuickKey2ButtonId = 1070;
constexpr int kQuickKey3ButtonId = 1071;
// Online update.
constexpr int kUpdateButtonId = 1074;
constexpr int kUpdateProgressId = 1075;
constexpr int kUpdatePercentLabelId = 1076;
// Presets.
constexpr int kPresetComboId = 1064;
constexpr int kSavePresetButtonId = 1030;
constexpr int kDeletePresetButtonId = 1065;
constexpr int kApplyPresetButtonId = 1066;
// Bottom line.
constexpr int kStatusLabelId = 1031;
constexpr int kBatteryLabelId = 1051;

// Every control of the window, in creation order.
std::span<const ControlSpec> controlTable();
const ControlSpec* findControl(int id);

// The 45 controls that stay disabled while no device has reported its settings.
constexpr std::array<int, 45> kInteractiveSet = {
    kMonitorVolSliderId,    kMicVolSliderId,     kMusicVolSliderId,    kLiveVolSliderId,      kEqBandSliderIds[0],
    kEqBandSliderIds[1],    kEqBandSliderIds[2], kEqBandSliderIds[3],  kEqBandSliderIds[4],   kEqBandSliderIds[5],
    kEqBandSliderIds[6],    kReverbVolSliderId,  kReverbWetSliderId,   kReverbTypeSliderId,   kReverbDelaySliderId,
    kDuckingCheckId,        kStereoMixCheckId,   kAutoPowerOffCheckId, kAutoPowerOffSliderId, kKeySliderId,
    kTuneDepthSliderId,     kEqSwitchCheckId,    kVoiceEffectSliderId, kSavePresetButtonId,   kChargeCheckId,
    kDuckThresholdSliderId, kDuckSpeedSliderId,  kDuckLevelSliderId,   kNationalPlugRadioId,  kHongKongPlugRadioId,
    kEffectOffRadioId,      kAutoTuneRadioId,    kVoiceChangeRadioId,  kPresetComboId,        kDeletePresetButtonId,
    kApplyPresetButtonId,   kQuickKey1ButtonId,  kHighCutSliderId,     kQuickKey2ButtonId,    kQuickKey3ButtonId,
    kLowCutSliderId,        kEarMonitorCheckId,  kDenoiseCheckId,      kDenoiseRangeSliderId, kNoiseFloorSliderId};

constexpr std::array<int, 3> kQuickKeyButtons = {kQuickKey1ButtonId, kQuickKey2ButtonId, kQuickKey3ButtonId};

}  // namespace qv7::panel
