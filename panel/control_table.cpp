// The window layout in dialog units; only group boxes and the bottom line have given rectangles, the rest is laid out
// to fit them.
#include "panel/control_table.h"

#include <algorithm>
#include <vector>

namespace qv7::panel {

namespace {

// One control per row, in creation order.
// clang-format off
// Column of a vertical slider: value label above, track, caption below, within a group whose top is `top`. The
// caption reaches `spread` units beyond the column each side, into the gap before the next.
void sliderColumn(std::vector<ControlSpec>& t, int top, int x, int w, int slider, int label, std::string_view caption,
                  int spread = 1) {
    t.push_back({.id = label, .kind = Kind::ValueLabel, .rect = {x, top + 22, w, 8}, .align = Align::Centre,
                 .enabledWith = slider});
    t.push_back({.id = slider, .kind = Kind::Slider, .rect = {x + (w - 20) / 2, top + 31, 20, 77}});
    // Wider than the column, which keeps the last column's caption off its group's frame.
    t.push_back({.id = 0, .kind = Kind::Text, .caption = caption, .rect = {x - spread, top + 111, w + 2 * spread, 8},
                 .align = Align::Centre, .enabledWith = slider});
}

std::vector<ControlSpec> build() {
    std::vector<ControlSpec> t;
    auto group = [&](std::string_view caption, DialogRect r) { t.push_back({0, Kind::Group, caption, r}); };

    group("Tolka上的效果", {7, 5, 161, 27});
    t.push_back({kQuickKey1ButtonId, Kind::Button, "", {13, 13, 48, 14}});
    t.push_back({kQuickKey2ButtonId, Kind::Button, "", {64, 13, 48, 14}});
    t.push_back({kQuickKey3ButtonId, Kind::Button, "", {115, 13, 48, 14}});

    group("其他", {175, 5, 193, 27});
    t.push_back({kDuckingCheckId, Kind::CheckBox, "闪避", {182, 15, 36, 10}});
    t.push_back({kChargeCheckId, Kind::CheckBox, "充电", {222, 15, 36, 10}});
    t.push_back({kStereoMixCheckId, Kind::CheckBox, "立体混音", {262, 15, 52, 10}});
    t.push_back({kEarMonitorCheckId, Kind::CheckBox, "耳返", {320, 15, 36, 10}});

    group("常用效果", {7, 34, 273, 32});
    t.push_back({kSavePresetButtonId, Kind::Button, "保存效果", {13, 45, 42, 14}});
    t.push_back({kDeletePresetButtonId, Kind::Button, "删除效果", {58, 45, 42, 14}});
    t.push_back({0, Kind::Text, "效果列表：", {104, 48, 40, 8}});
    t.push_back({kPresetComboId, Kind::Combo, "", {144, 45, 84, 14}});
    t.push_back({kApplyPresetButtonId, Kind::Button, "使用效果", {232, 45, 42, 14}});

    group("模拟接口", {284, 34, 84, 32});
    t.push_back({.id = kNationalPlugRadioId, .kind = Kind::Radio, .caption = "国标", .rect = {291, 47, 34, 10},
                 .groupStart = true});
    t.push_back({kHongKongPlugRadioId, Kind::Radio, "港标", {329, 47, 34, 10}});

    group("音量", {7, 69, 110, 125});
    const int volumes[][2] = {{kMonitorVolSliderId, kMonitorVolLabelId},
                              {kMicVolSliderId, kMicVolLabelId},
                              {kMusicVolSliderId, kMusicVolLabelId},
                              {kLiveVolSliderId, kLiveVolLabelId}};
    const std::string_view volumeCaptions[] = {"监听", "话筒", "伴奏", "直播"};
    for (int i = 0; i < 4; ++i) sliderColumn(t, 69, 12 + 26 * i, 24, volumes[i][0], volumes[i][1], volumeCaptions[i]);

    group("均衡器", {119, 69, 205, 125});
    t.push_back({kEqSwitchCheckId, Kind::CheckBox, "开关", {125, 79, 34, 10}});
    const std::string_view bands[] = {"100", "250", "500", "750", "1K", "1.5K", "2K"};
    for (int i = 0; i < 7; ++i)
        sliderColumn(t, 69, 124 + 28 * i, 26, kEqBandSliderIds[i], kEqBandLabelIds[i], bands[i]);

    group("自动关机", {329, 69, 39, 125});
    t.push_back({kAutoPowerOffCheckId, Kind::CheckBox, "开关", {334, 79, 32, 10}});
    t.push_back({.id = kAutoPowerOffLabelId, .kind = Kind::ValueLabel, .rect = {332, 91, 12, 8}, .align = Align::Right,
                 .enabledWith = kAutoPowerOffSliderId});
    t.push_back({.id = 0, .kind = Kind::Text, .caption = "分钟", .rect = {345, 91, 20, 8},
                 .enabledWith = kAutoPowerOffSliderId});
    t.push_back({kAutoPowerOffSliderId, Kind::Slider, "", {338, 100, 20, 77}});

    group("混响", {6, 197, 144, 125});
    const int reverb[][2] = {{kReverbVolSliderId, kReverbVolLabelId},     {kReverbWetSliderId, kReverbWetLabelId},
                             {kReverbTypeSliderId, kReverbTypeLabelId}, {kReverbDelaySliderId, kReverbDelayLabelId},
                             {kHighCutSliderId, kHighCutLabelId},       {kLowCutSliderId, kLowCutLabelId}};
    const std::string_view reverbCaptions[] = {"音量", "湿声", "种类", "延时", "高切", "低切"};
    // One unit between columns: the captions keep to their columns so as not to run into each other.
    for (int i = 0; i < 6; ++i)
        sliderColumn(t, 197, 10 + 23 * i, 22, reverb[i][0], reverb[i][1], reverbCaptions[i], 0);

    group("电音变声", {153, 197, 133, 125});
    t.push_back({.id = kEffectOffRadioId, .kind = Kind::Radio, .caption = "不使用", .rect = {158, 207, 42, 10},
                 .groupStart = true});
    t.push_back({kAutoTuneRadioId, Kind::Radio, "电音", {202, 207, 36, 10}});
    t.push_back({kVoiceChangeRadioId, Kind::Radio, "变声", {242, 207, 36, 10}});
    sliderColumn(t, 197, 162, 34, kKeySliderId, kKeyLabelId, "电音调号");
    sliderColumn(t, 197, 203, 34, kTuneDepthSliderId, kTuneDepthLabelId, "电音幅度");
    sliderColumn(t, 197, 244, 34, kVoiceEffectSliderId, kVoiceEffectLabelId, "变声效果");

    group("闪避", {288, 197, 80, 125});
    sliderColumn(t, 197, 293, 22, kDuckThresholdSliderId, kDuckThresholdLabelId, "门限");
    sliderColumn(t, 197, 317, 22, kDuckSpeedSliderId, kDuckSpeedLabelId, "速度");
    sliderColumn(t, 197, 341, 22, kDuckLevelSliderId, kDuckLevelLabelId, "等级");

    group("降噪", {7, 324, 361, 32});
    t.push_back({kDenoiseCheckId, Kind::CheckBox, "开关", {13, 337, 32, 10}});
    t.push_back({.id = 0, .kind = Kind::Text, .caption = "降噪范围:", .rect = {48, 338, 38, 8},
                 .enabledWith = kDenoiseRangeSliderId});
    t.push_back({.id = kDenoiseRangeSliderId, .kind = Kind::Slider, .rect = {86, 335, 100, 14}, .horizontal = true});
    t.push_back({.id = kDenoiseRangeLabelId, .kind = Kind::ValueLabel, .rect = {188, 338, 14, 8},
                 .align = Align::Centre, .enabledWith = kDenoiseRangeSliderId});
    t.push_back({.id = 0, .kind = Kind::Text, .caption = "底噪范围:", .rect = {208, 338, 38, 8},
                 .enabledWith = kNoiseFloorSliderId});
    t.push_back({.id = kNoiseFloorSliderId, .kind = Kind::Slider, .rect = {246, 335, 100, 14}, .horizontal = true});
    t.push_back({.id = kNoiseFloorLabelId, .kind = Kind::ValueLabel, .rect = {348, 338, 14, 8}, .align = Align::Centre,
                 .enabledWith = kNoiseFloorSliderId});

    group("Tolka在线升级", {7, 358, 361, 35});
    t.push_back({kUpdateButtonId, Kind::Button, "", {13, 371, 80, 14}});
    t.push_back({0, Kind::Text, "进度：", {100, 374, 24, 8}});
    t.push_back({kUpdateProgressId, Kind::Progress, "", {126, 371, 236, 14}});
    // After the bar, so it is drawn over it.
    t.push_back({.id = kUpdatePercentLabelId, .kind = Kind::ValueLabel, .rect = {126, 374, 236, 8},
                 .align = Align::Centre});

    // The status line reaches towards the battery: "Tolka 正由 qv7ctl 使用，稍后自动连接" is longer than 116 units.
    t.push_back({kStatusLabelId, Kind::ValueLabel, "", {7, 396, 280, 8}});
    // The battery text carries its own unit ("3.85 V"), which 18 units cannot hold: the label is wider, from the
    // caption's end, and the separate "V" after it is left out, so the unit is not shown twice ("3.85 V V").
    t.push_back({.id = 0, .kind = Kind::Text, .caption = "电池：", .rect = {315, 396, 26, 8}, .roomTo = 292});
    t.push_back({.id = kBatteryLabelId, .kind = Kind::ValueLabel, .rect = {341, 396, 27, 8}, .align = Align::Right});
    return t;
}
// clang-format on

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
