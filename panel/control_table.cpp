// The window layout in dialog units; only group boxes and the bottom line have given rectangles, the rest is laid out to fit them.
#include "panel/control_table.h"

#include <algorithm>
#include <vector>

namespace qv7::panel {

namespace {

// Column of a vertical slider: value label above, track, caption below, within a group whose top is `top`.
void sliderColumn(std::vector<ControlSpec>& t, int top, int x, int w, int slider, int label, std::string_view caption) {
    t.push_back({label, Kind::ValueLabel, "", {x, top + 22, w, 8}, false, Align::Centre, false, slider});
    t.push_back({slider, Kind::Slider, "", {x + (w - 20) / 2, top + 31, 20, 77}});
    // A unit wider than the column each side, which keeps the last column's caption off its group's frame.
    t.push_back({0, Kind::Text, caption, {x - 1, top + 111, w + 2, 8}, false, Align::Centre, false, slider});
}

std::vector<ControlSpec> build() {
    std::vector<ControlSpec> t;
    auto group = [&](std::string_view caption, DialogRect r) { t.push_back({0, Kind::Group, caption, r}); };

    group("Tolka上的效果", {7, 5, 161, 27});
    t.push_back({1067, Kind::Button, "", {13, 13, 48, 14}});
    t.push_back({1070, Kind::Button, "", {64, 13, 48, 14}});
    t.push_back({1071, Kind::Button, "", {115, 13, 48, 14}});

    group("其他", {175, 5, 193, 27});
    t.push_back({1019, Kind::CheckBox, "闪避", {182, 15, 36, 10}});
    t.push_back({1052, Kind::CheckBox, "充电", {222, 15, 36, 10}});
    t.push_back({1020, Kind::CheckBox, "立体混音", {262, 15, 52, 10}});
    t.push_back({1077, Kind::CheckBox, "耳返", {320, 15, 36, 10}});

    group("常用效果", {7, 34, 273, 32});
    t.push_back({1030, Kind::Button, "保存效果", {13, 45, 42, 14}});
    t.push_back({1065, Kind::Button, "删除效果", {58, 45, 42, 14}});
    t.push_back({0, Kind::Text, "效果列表：", {104, 48, 40, 8}});
    t.push_back({1064, Kind::Combo, "", {144, 45, 84, 14}});
    t.push_back({1066, Kind::Button, "使用效果", {232, 45, 42, 14}});

    group("模拟接口", {284, 34, 84, 32});
    t.push_back({1059, Kind::Radio, "国标", {291, 47, 34, 10}, false, Align::Left, true});
    t.push_back({1060, Kind::Radio, "港标", {329, 47, 34, 10}});

    group("音量", {7, 69, 110, 125});
    const std::string_view volumes[] = {"监听", "话筒", "伴奏", "直播"};
    for (int i = 0; i < 4; ++i) sliderColumn(t, 69, 12 + 26 * i, 24, 1000 + i, 1033 + i, volumes[i]);

    group("均衡器", {119, 69, 205, 125});
    t.push_back({1027, Kind::CheckBox, "开关", {125, 79, 34, 10}});
    const std::string_view bands[] = {"100", "250", "500", "750", "1K", "1.5K", "2K"};
    for (int i = 0; i < 7; ++i) sliderColumn(t, 69, 124 + 28 * i, 26, 1004 + i, 1037 + i, bands[i]);

    group("自动关机", {329, 69, 39, 125});
    t.push_back({1021, Kind::CheckBox, "开关", {334, 79, 32, 10}});
    t.push_back({1032, Kind::ValueLabel, "", {332, 91, 12, 8}, false, Align::Right, false, 1022});
    t.push_back({0, Kind::Text, "分钟", {345, 91, 20, 8}, false, Align::Left, false, 1022});
    t.push_back({1022, Kind::Slider, "", {338, 100, 20, 77}});

    group("混响", {6, 197, 144, 125});
    const int reverb[][2] = {{1011, 1044}, {1012, 1045}, {1013, 1046}, {1014, 1047}, {1068, 1069}, {1072, 1073}};
    const std::string_view reverbCaptions[] = {"音量", "湿声", "种类", "延时", "高切", "低切"};
    for (int i = 0; i < 6; ++i) sliderColumn(t, 197, 10 + 23 * i, 22, reverb[i][0], reverb[i][1], reverbCaptions[i]);

    group("电音变声", {153, 197, 133, 125});
    t.push_back({1061, Kind::Radio, "不使用", {158, 207, 42, 10}, false, Align::Left, true});
    t.push_back({1062, Kind::Radio, "电音", {202, 207, 36, 10}});
    t.push_back({1063, Kind::Radio, "变声", {242, 207, 36, 10}});
    sliderColumn(t, 197, 162, 34, 1025, 1048, "电音调号");
    sliderColumn(t, 197, 203, 34, 1026, 1049, "电音幅度");
    sliderColumn(t, 197, 244, 34, 1029, 1050, "变声效果");

    group("闪避", {288, 197, 80, 125});
    sliderColumn(t, 197, 293, 22, 1053, 1054, "门限");
    sliderColumn(t, 197, 317, 22, 1055, 1056, "速度");
    sliderColumn(t, 197, 341, 22, 1057, 1058, "等级");

    group("降噪", {7, 324, 361, 32});
    t.push_back({1080, Kind::CheckBox, "开关", {13, 337, 32, 10}});
    t.push_back({0, Kind::Text, "降噪范围:", {48, 338, 38, 8}, false, Align::Left, false, 1081});
    t.push_back({1081, Kind::Slider, "", {86, 335, 100, 14}, true});
    t.push_back({1083, Kind::ValueLabel, "", {188, 338, 14, 8}, false, Align::Centre, false, 1081});
    t.push_back({0, Kind::Text, "底噪范围:", {208, 338, 38, 8}, false, Align::Left, false, 1082});
    t.push_back({1082, Kind::Slider, "", {246, 335, 100, 14}, true});
    t.push_back({1084, Kind::ValueLabel, "", {348, 338, 14, 8}, false, Align::Centre, false, 1082});

    group("Tolka在线升级", {7, 358, 361, 35});
    t.push_back({1074, Kind::Button, "", {13, 371, 80, 14}});
    t.push_back({0, Kind::Text, "进度：", {100, 374, 24, 8}});
    t.push_back({1075, Kind::Progress, "", {126, 371, 236, 14}});
    // After the bar, so it is drawn over it.
    t.push_back({1076, Kind::ValueLabel, "", {126, 374, 236, 8}, false, Align::Centre});

    t.push_back({1031, Kind::ValueLabel, "", {7, 396, 116, 8}});
    // The battery text carries its own unit ("3.85 V"), which 18 units cannot hold: the label is wider
    // and the separate "V" after it is left out, so the unit is not shown twice ("3.85 V V").
    t.push_back({0, Kind::Text, "电池：", {315, 396, 26, 8}});
    t.push_back({1051, Kind::ValueLabel, "", {334, 396, 34, 8}, false, Align::Right});
    return t;
}

}  // namespace

std::span<const ControlSpec> controlTable() {
    static const std::vector<ControlSpec> table = build();
    return table;
}

const ControlSpec* findControl(int id) {
    const auto t = controlTable();
    auto it = std::find_if(t.begin(), t.end(), [id](const ControlSpec& c) { return c.id == id; });
    return it == t.end() ? nullptr : &*it;
}

}  // namespace qv7::panel
