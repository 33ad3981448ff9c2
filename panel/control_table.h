// The main window's controls: identifiers, kinds, captions and dialog-unit rectangles, shared by the controller and the widgets.
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
    std::string_view caption;  // UTF-8; empty where the text is set at run time
    DialogRect rect;
    bool horizontal = false;  // sliders
    Align align = Align::Left;
    bool groupStart = false;  // first radio button of its group
    int enabledWith = 0;      // captions and value labels of a slider: greyed with it
};

constexpr std::string_view kWindowTitle = "Tolka面板-Vexlor";
constexpr int kWindowWidthDu = 378;
constexpr int kWindowHeightDu = 411;

constexpr std::string_view kStatusNoDevice = "没有找到Vexlor声卡";
constexpr std::string_view kStatusConnected = "VexlorTolka连接";
constexpr std::string_view kAboutMenuText = "关于 qv7-panel(&A)...";
constexpr std::string_view kTrayClose = "关闭";

// Every control of the window, in creation order.
std::span<const ControlSpec> controlTable();
const ControlSpec* findControl(int id);

// The 45 controls that stay disabled while no device has reported its settings.
constexpr std::array<int, 45> kInteractiveSet = {
    1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014,
    1019, 1020, 1021, 1022, 1025, 1026, 1027, 1029, 1030, 1052, 1053, 1055, 1057, 1059, 1060,
    1061, 1062, 1063, 1064, 1065, 1066, 1067, 1068, 1070, 1071, 1072, 1077, 1080, 1081, 1082};

constexpr std::array<int, 3> kQuickKeyButtons = {1067, 1070, 1071};

// The preset group's controls.
constexpr int kPresetComboId = 1064;
constexpr int kSavePresetButtonId = 1030;
constexpr int kDeletePresetButtonId = 1065;
constexpr int kApplyPresetButtonId = 1066;

}  // namespace qv7::panel
