// The window's behaviour driven headless: start-up, bindings, switch rules, firmware variants, events, removal.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <numeric>
#include <ostream>
#include <string_view>

#include "device/firmware_image.h"
#include "panel/control_table.h"
#include "panel_test_support.h"

namespace qv7::panel::test {
namespace {

bool contains(const std::vector<std::string>& lines, std::string_view line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(PanelStartup, DisabledUntilFirstParametersThenShowsDeviceValues) {
    Rig rig;
    rig.controller.initialise();
    EXPECT_EQ(rig.controller.text(1031), "VexlorTolka连接");
    EXPECT_TRUE(contains(rig.trace, "in\n"));
    EXPECT_EQ(rig.timer.restarts.back(), 1000);
    for (int id : kInteractiveSet) EXPECT_FALSE(rig.controller.enabled(id)) << id;
    EXPECT_EQ(rig.controller.text(1074), "无新版本");
    EXPECT_FALSE(rig.controller.enabled(1074));
    EXPECT_EQ(rig.controller.text(1076), "0%");

    rig.start();
    ASSERT_TRUE(rig.controller.driver().mfiParamsReceived());
    EXPECT_TRUE(rig.controller.enabled(1000));
    EXPECT_EQ(rig.controller.deviceSetting(), rig.deviceParameters());
    EXPECT_EQ(rig.controller.text(1051), "3.85 V");
    EXPECT_EQ(rig.controller.text(1067), "原声");
    EXPECT_EQ(rig.controller.text(1070), "唱歌");
    EXPECT_EQ(rig.controller.text(1071), "喊麦");
    EXPECT_EQ(rig.view.firmwareChecks, 1);
    EXPECT_TRUE(contains(rig.trace, "-1\n")) << "EnableControls traces the combo selection (empty list)";
    EXPECT_TRUE(rig.view.changed.count(1000));
}

// Before any device has reported, every bound value is 0: each slider sits at the top of its track
// and its label shows the field's maximum (the noise sliders, horizontal, show 0 at the left).
struct AtTop {
    int label;
    const char* text;
};
class StateBeforeAnyReport : public ::testing::TestWithParam<AtTop> {};

TEST_P(StateBeforeAnyReport, LabelShowsTheTopOfTheTrack) {
    Rig rig;
    rig.sim.unplug();
    rig.controller.initialise();
    EXPECT_EQ(rig.controller.text(GetParam().label), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Labels, StateBeforeAnyReport,
                         ::testing::Values(AtTop{1033, "16"}, AtTop{1036, "16"}, AtTop{1046, "6"}, AtTop{1047, "20"},
                                           AtTop{1054, "8"}, AtTop{1032, "20"}, AtTop{1037, "24"}, AtTop{1050, "12"},
                                           AtTop{1048, "C"}, AtTop{1083, "0"}));

TEST(PanelStartup, RadioGroupsStartOnTheirFirstButton) {
    Rig rig;
    rig.sim.unplug();
    rig.controller.initialise();
    EXPECT_EQ(rig.controller.radioIndex(1059), 0) << "国标";
    EXPECT_EQ(rig.controller.radioIndex(1061), 0) << "不使用";
    for (int id : {1060, 1062, 1063}) EXPECT_EQ(rig.controller.value(id), 0) << id;
    for (int id : {1019, 1020, 1021, 1027, 1052, 1077, 1080}) EXPECT_EQ(rig.controller.value(id), 0) << id;
}

// The rectangles the window is laid out by: the group boxes and the bottom line (the battery label
// itself is wider on purpose, see the table).
struct Placed {
    Kind kind;
    std::string_view caption;
    int id;
    DialogRect rect;
};
void PrintTo(const Placed& p, std::ostream* os) { *os << p.caption; }
class WindowLayout : public ::testing::TestWithParam<Placed> {};

TEST_P(WindowLayout, ControlSitsInItsRectangle) {
    const Placed& p = GetParam();
    const auto table = controlTable();
    const auto it = std::find_if(table.begin(), table.end(), [&](const ControlSpec& c) {
        return c.kind == p.kind && (p.id != 0 ? c.id == p.id : c.caption == p.caption);
    });
    ASSERT_NE(it, table.end()) << p.caption;
    EXPECT_EQ(it->rect.x, p.rect.x) << p.caption;
    EXPECT_EQ(it->rect.y, p.rect.y) << p.caption;
    if (p.rect.w != 0) {
        EXPECT_EQ(it->rect.w, p.rect.w) << p.caption;
        EXPECT_EQ(it->rect.h, p.rect.h) << p.caption;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rectangles, WindowLayout,
    ::testing::Values(
        Placed{Kind::Group, "Tolka上的效果", 0, {7, 5, 161, 27}}, Placed{Kind::Group, "其他", 0, {175, 5, 193, 27}},
        Placed{Kind::Group, "常用效果", 0, {7, 34, 273, 32}}, Placed{Kind::Group, "模拟接口", 0, {284, 34, 84, 32}},
        Placed{Kind::Group, "音量", 0, {7, 69, 110, 125}}, Placed{Kind::Group, "均衡器", 0, {119, 69, 205, 125}},
        Placed{Kind::Group, "自动关机", 0, {329, 69, 39, 125}}, Placed{Kind::Group, "混响", 0, {6, 197, 144, 125}},
        Placed{Kind::Group, "电音变声", 0, {153, 197, 133, 125}}, Placed{Kind::Group, "闪避", 0, {288, 197, 80, 125}},
        Placed{Kind::Group, "降噪", 0, {7, 324, 361, 32}}, Placed{Kind::Group, "Tolka在线升级", 0, {7, 358, 361, 35}},
        // 280 wide, not 116: the line also says "Tolka 正由 qv7ctl 使用，稍后自动连接", which needs the room; the
        // text is left-aligned, so the shorter lines look as they always did.
        Placed{Kind::ValueLabel, "status", 1031, {7, 396, 280, 8}}, Placed{Kind::Text, "电池：", 0, {315, 396, 0, 0}}));

// The default simulated device holds "原声默认": volumes 14, reverb 0/10/3/12, effect 0 with tone 2,
// pitch 9, power-off 10 minutes, equaliser flat 24, ducking 4/4/7, cut-offs 1/20; noise 8/8.
struct Shown {
    int slider;
    int position;
    int label;
    const char* text;
};
class DeviceValuesShown : public ::testing::TestWithParam<Shown> {};

TEST_P(DeviceValuesShown, PositionAndLabel) {
    Rig rig;
    rig.start();
    const Shown& s = GetParam();
    EXPECT_EQ(rig.controller.value(s.slider), s.position);
    EXPECT_EQ(rig.controller.text(s.label), s.text);
}

INSTANTIATE_TEST_SUITE_P(Bindings, DeviceValuesShown,
                         ::testing::Values(Shown{1000, 2, 1033, "14"}, Shown{1003, 10, 1036, "14"},  // 24 − 14 on 1.0.7
                                           Shown{1004, 24, 1037, "0"}, Shown{1013, 3, 1046, "3"},
                                           Shown{1014, 9, 1047, "12"}, Shown{1068, 20, 1069, "1"},
                                           Shown{1072, 1, 1073, "20"}, Shown{1025, 2, 1048, "D"},
                                           Shown{1029, 15, 1050, "-3"}, Shown{1022, 11, 1032, "10"},
                                           Shown{1053, 5, 1054, "4"}, Shown{1081, 8, 1083, "8"}));

struct Sent {
    int slider;
    int position;
    std::size_t byte;
    int field;
    bool advanced;
};
class SendOnChange : public ::testing::TestWithParam<Sent> {};

TEST_P(SendOnChange, NewPositionSendsOnceAndDeviceHoldsIt) {
    Rig rig;
    rig.start();
    const Sent& s = GetParam();
    const char* line = s.advanced ? "ControlToAdvanced\n" : "ControlToSetting\n";
    rig.controller.onSliderMoved(s.slider, s.position);
    rig.pump();
    EXPECT_EQ(rig.count(line), 1);
    rig.controller.onSliderMoved(s.slider, s.position);  // a repaint at the same place
    EXPECT_EQ(rig.count(line), 1);
    uint8_t held = 0;
    rig.sim.withDevice(
        [&](sim::TolkaSim& d) { held = s.advanced ? d.advanced().at(s.byte) : d.parameters().at(s.byte); });
    EXPECT_EQ(held, s.field);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, SendOnChange,
    ::testing::Values(Sent{.slider = 1000, .position = 16, .byte = 0, .field = 0, .advanced = false},
                      Sent{.slider = 1001, .position = 0, .byte = 2, .field = 16, .advanced = false},
                      Sent{.slider = 1003, .position = 0, .byte = 3, .field = 24, .advanced = false},
                      Sent{.slider = 1009, .position = 10, .byte = 23, .field = 38, .advanced = false},
                      Sent{.slider = 1022, .position = 20, .byte = 16, .field = 1, .advanced = false},
                      Sent{.slider = 1013, .position = 0, .byte = 9, .field = 6, .advanced = false},
                      Sent{.slider = 1025, .position = 11, .byte = 12, .field = 11, .advanced = false},
                      Sent{.slider = 1029, .position = 0, .byte = 14, .field = 24, .advanced = false},
                      Sent{.slider = 1057, .position = 1, .byte = 27, .field = 8, .advanced = false},
                      Sent{.slider = 1082, .position = 3, .byte = 6, .field = 3, .advanced = true}));

TEST(PanelBindings, LiveVolumeTopSendsTheFirmwaresMaximum) {
    for (auto [firmware, top] : {std::pair{"1.0.7", 24}, std::pair{"1.0.2", 16}}) {
        Rig rig(simConfig(firmware));
        rig.start();
        EXPECT_EQ(rig.controller.control(1003).max, top) << firmware;
        rig.controller.onSliderMoved(1003, 0);
        rig.pump();
        EXPECT_EQ(rig.deviceParameters().liveVol, top) << firmware;
    }
}

TEST(PanelBindings, ChangesBeforeTheFirstReportAreAbsorbed) {
    Rig rig;
    rig.controller.initialise();
    rig.controller.onSliderMoved(1001, 5);
    EXPECT_EQ(rig.controller.deviceSetting().micVol, 11);
    EXPECT_EQ(rig.count("ControlToSetting\n"), 0);
    rig.start();
    EXPECT_EQ(rig.count("ControlToSetting\n"), 0) << "nothing is sent later either";
    EXPECT_EQ(rig.deviceParameters().micVol, 14);
}

TEST(PanelBindings, KeyNames) {
    const char* names[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(KeyName(i), names[i]);
    EXPECT_EQ(KeyName(12), "");
    EXPECT_EQ(KeyName(-1), "");
}

// Switch rules: the click, the record byte it sets and the sliders it enables or disables.
struct Rule {
    int click;
    bool checked;
    std::size_t byte;
    int field;
    std::vector<int> on, off;
};
class SwitchRules : public ::testing::TestWithParam<Rule> {};

TEST_P(SwitchRules, ClickSetsByteAndEnabling) {
    auto config = sim::defaultConfig();
    config.parameters.eqSwitch = 1;
    config.parameters.dodgeSwitch = 1;
    config.parameters.auto_poweroff = 1;
    config.parameters.effectSwitch = 1;
    Rig rig(config);
    rig.start();
    const Rule& r = GetParam();
    rig.controller.onClicked(r.click, r.checked);
    rig.pump();
    EXPECT_EQ(rig.deviceParameters().at(r.byte), r.field);
    for (int id : r.on) EXPECT_TRUE(rig.controller.enabled(id)) << id;
    for (int id : r.off) EXPECT_FALSE(rig.controller.enabled(id)) << id;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SwitchRules,
    ::testing::Values(Rule{.click = 1027,
                           .checked = false,
                           .byte = 17,
                           .field = 0,
                           .on = {},
                           .off = {1004, 1005, 1006, 1007, 1008, 1009, 1010}},
                      Rule{.click = 1061, .checked = true, .byte = 11, .field = 0, .on = {}, .off = {1025, 1026, 1029}},
                      Rule{.click = 1063, .checked = true, .byte = 11, .field = 2, .on = {1029}, .off = {1025, 1026}},
                      Rule{.click = 1019, .checked = false, .byte = 6, .field = 0, .on = {}, .off = {1053, 1055, 1057}},
                      Rule{.click = 1021, .checked = false, .byte = 15, .field = 0, .on = {}, .off = {1022}},
                      Rule{.click = 1060, .checked = true, .byte = 5, .field = 1, .on = {}, .off = {}}));

TEST(PanelBindings, EqualiserOffKeepsShowingGains) {
    auto config = sim::defaultConfig();
    config.parameters.eqGain[2] = 30;
    Rig rig(config);
    rig.start();
    EXPECT_FALSE(rig.controller.enabled(1006));
    EXPECT_EQ(rig.controller.text(1039), "6");
    EXPECT_EQ(rig.controller.value(1006), 18);
}

TEST(PanelBindings, NoiseSwitchTracesAndEnablesItsSliders) {
    Rig rig;
    rig.start();
    EXPECT_FALSE(rig.controller.enabled(1081));
    rig.controller.onClicked(1080, true);
    rig.pump();
    EXPECT_TRUE(contains(rig.trace, "denoise_switch(1)\n"));
    EXPECT_TRUE(rig.controller.enabled(1081));
    EXPECT_TRUE(rig.controller.enabled(1082));
    uint8_t held = 0;
    rig.sim.withDevice([&](sim::TolkaSim& d) { held = d.advanced().denoise_switch; });
    EXPECT_EQ(held, 1);
}

TEST(PanelBindings, ChargeAndMixAreCommandsNotDisplays) {
    Rig rig;
    rig.start();
    std::vector<int> charges;
    for (bool on : {true, false}) {
        rig.controller.onClicked(1052, on);
        rig.pump();
        rig.sim.withDevice([&](sim::TolkaSim& d) { charges.push_back(d.charge()); });
    }
    EXPECT_EQ(charges, (std::vector<int>{1, 0}));
    rig.controller.onClicked(1020, true);
    rig.pump();
    int mix = 0;
    rig.sim.withDevice([&](sim::TolkaSim& d) { mix = d.mix(); });
    EXPECT_EQ(mix, 1);
}

// Enabling after the first report, per firmware: what differs between the four known versions.
struct Variant {
    const char* firmware;
    bool ducking, cutoffs, mixCharge, quickKeys, earReturn, noiseSwitch;
    int liveMax;
};
class FirmwareVariants : public ::testing::TestWithParam<Variant> {};

TEST_P(FirmwareVariants, EnablingAfterFirstReport) {
    const Variant& v = GetParam();
    auto config = simConfig(v.firmware);
    config.parameters.dodgeSwitch = 1;
    Rig rig(config);
    rig.start();
    ASSERT_TRUE(rig.controller.driver().mfiParamsReceived());
    for (int id : {1053, 1055, 1057}) EXPECT_EQ(rig.controller.enabled(id), v.ducking) << id;
    for (int id : {1068, 1072}) EXPECT_EQ(rig.controller.enabled(id), v.cutoffs) << id;
    for (int id : {1020, 1052}) EXPECT_EQ(rig.controller.enabled(id), v.mixCharge) << id;
    for (int id : kQuickKeyButtons) EXPECT_EQ(rig.controller.enabled(id), v.quickKeys) << id;
    EXPECT_EQ(rig.controller.enabled(1077), v.earReturn);
    EXPECT_EQ(rig.controller.enabled(1080), v.noiseSwitch);
    EXPECT_EQ(rig.controller.control(1003).max, v.liveMax);
    EXPECT_TRUE(rig.controller.enabled(1000));

    // Ticking 闪避 leaves the ducking sliders alone on the oldest firmware.
    rig.controller.onClicked(1019, false);
    rig.controller.onClicked(1019, true);
    EXPECT_EQ(rig.controller.enabled(1053), v.ducking);
}

INSTANTIATE_TEST_SUITE_P(Versions, FirmwareVariants,
                         ::testing::Values(Variant{"1.0.0", false, false, false, false, false, false, 16},
                                           Variant{"1.0.2", true, true, true, true, true, false, 16},
                                           Variant{"1.0.6", true, true, true, true, true, false, 24},
                                           Variant{"1.0.7", true, true, true, true, true, true, 24}),
                         [](const ::testing::TestParamInfo<Variant>& tp) {
                             std::string name = tp.param.firmware;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return "v" + name;
                         });

TEST(PanelFirmware, OriginalFirmwareShowsFixedQuickKeyCaptions) {
    auto config = simConfig("1.0.0");
    config.keys[0].name = "XX";  // never asked for
    Rig rig(config);
    rig.start();
    EXPECT_EQ(rig.controller.text(1067), "原声");
    EXPECT_EQ(rig.controller.text(1070), "唱歌");
    EXPECT_EQ(rig.controller.text(1071), "喊麦");
}

TEST(PanelEvents, RejectedParameterReplyShowsErrorAndKeepsControlsDisabled) {
    auto config = sim::defaultConfig();
    config.parameters.monitorVol = 200;
    Rig rig(config);
    rig.start();
    const int code =
        checkParameterSet(config.parameters, 30, [&](int n) { return rig.controller.driver().mfiVersionAbove(n); });
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_EQ(rig.view.messages[0].first, "收到的参数错误（" + std::to_string(code) + "）(0)");
    EXPECT_EQ(rig.view.messages[0].second, "Error");
    EXPECT_FALSE(rig.controller.enabled(1000));
}

TEST(PanelEvents, TransferEventsUpdateProgressAndTimer) {
    Rig rig;
    rig.start();
    rig.controller.onLinkEvent(8, 4);
    EXPECT_EQ(rig.controller.text(1076), "下载完成，等待写入");
    EXPECT_EQ(rig.timer.restarts.back(), 3000);
    rig.controller.onLinkEvent(8, 5);
    EXPECT_EQ(rig.controller.text(1076), "写入完成，更新成功");
    EXPECT_EQ(rig.timer.restarts.back(), 3000) << "update-done leaves the timer alone";
    rig.controller.onLinkEvent(8, 3);
    EXPECT_EQ(rig.timer.restarts.back(), 1000);
}

TEST(PanelEvents, OverSentWaitsThreeSecondsUntilItsPacketReadyReArmsAtOne) {
    Rig rig;
    rig.start();
    std::vector<uint8_t> image(100);
    std::iota(image.begin(), image.end(), uint8_t{1});
    ASSERT_TRUE(rig.controller.driver().mfiBeginUpdate(image, ImageWordSum(image)));
    rig.pump();  // the device answers each packet at once, so no tick is needed
    ASSERT_EQ(rig.controller.text(1076), "写入完成，更新成功");
    const auto& r = rig.timer.restarts;
    const auto over = std::find(r.begin(), r.end(), 3000);
    ASSERT_NE(over, r.end());
    ASSERT_NE(over + 1, r.end());
    EXPECT_EQ(*(over + 1), 1000) << "the packet-ready of the same step";
    EXPECT_EQ(std::count(r.begin(), r.end(), 3000), 1);
}

TEST(PanelEvents, EveryPacketReArmsTheTimerAndTicksRepeatTheStep) {
    Rig rig;
    rig.controller.initialise();
    const auto armed = rig.timer.restarts.size();
    const long before = rig.controller.session().packetsWritten();
    rig.controller.onTimer();
    EXPECT_EQ(rig.controller.session().packetsWritten(), before + 1);
    EXPECT_GT(rig.timer.restarts.size(), armed);
    EXPECT_EQ(rig.timer.restarts.back(), 1000);
}

TEST(PanelTimer, SleepsWhileIdleAndEveryWayWorkReachesTheDriverWakesIt) {
    const struct {
        const char* what;
        std::function<void(Rig&)> act;
    } cases[] = {
        {"slider",
         [](Rig& rig) {
             rig.controller.onSliderMoved(kMonitorVolSliderId, rig.controller.value(kMonitorVolSliderId) ^ 1);
         }},
        {"check box", [](Rig& rig) { rig.controller.onClicked(kStereoMixCheckId, true); }},
        {"firmware write",
         [](Rig& rig) {
             FirmwareOffer offer;
             offer.image.assign(100, 7);
             rig.controller.onFirmwareOffer(offer);
             rig.controller.onClicked(kUpdateButtonId, false);
             ASSERT_EQ(rig.view.questions.size(), 1u);
             rig.view.questions[0].second(true);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        rig.start();
        EXPECT_FALSE(rig.timer.running) << "the start-up conversation has ended: nothing to repeat";
        rig.sim.sendBattery();
        rig.pump();
        EXPECT_EQ(rig.controller.text(kBatteryLabelId), "3.85 V");
        EXPECT_FALSE(rig.timer.running) << "a report that asks for nothing leaves it asleep";

        const long commands = rig.commands();
        c.act(rig);
        EXPECT_TRUE(rig.timer.running);
        EXPECT_EQ(rig.timer.restarts.back(), 1000);
        for (int guard = 0; guard < 400 && rig.timer.running; ++guard) ASSERT_TRUE(rig.pumpOne());
        EXPECT_GT(rig.commands(), commands);
        EXPECT_FALSE(rig.timer.running) << "the device has answered everything";
    }
}

// Every answer of the device is already waiting when the timer falls due. The tick is acted on only after
// what arrived before it, as a window's queue puts posted messages before WM_TIMER, and a tick whose reports
// set the timer again is void: no request goes out twice (before: each tick resent the answered request with
// its sequence number).
TEST(PanelTimer, ATickComesAfterTheAnswersThatArrivedBeforeIt) {
    const struct {
        const char* what;
        std::function<void(Rig&)> act;
    } cases[] = {
        {"slider",
         [](Rig& rig) {
             rig.controller.onSliderMoved(kMonitorVolSliderId, rig.controller.value(kMonitorVolSliderId) ^ 1);
         }},
        {"check box", [](Rig& rig) { rig.controller.onClicked(kStereoMixCheckId, true); }},
        {"firmware write",
         [](Rig& rig) {
             FirmwareOffer offer;
             offer.image.assign(100, 7);
             rig.controller.onFirmwareOffer(offer);
             rig.controller.onClicked(kUpdateButtonId, false);
             ASSERT_EQ(rig.view.questions.size(), 1u);
             rig.view.questions[0].second(true);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bool counting = false;
        std::map<std::vector<uint8_t>, int> requests;  // each data packet the panel sent, how often
        sim::LinkFaults faults;
        faults.tap = [&](bool toDevice, std::vector<uint8_t> r) -> std::vector<sim::Delivery> {
            const std::size_t n = link::lengthField(r);
            if (counting && toDevice && r[link::kOffSession] == link::kSessionData && n > link::kDataOverhead &&
                n <= r.size())
                ++requests[std::vector<uint8_t>(r.begin(), r.begin() + static_cast<std::ptrdiff_t>(n))];
            return {{std::move(r), 0}};
        };
        Rig rig(sim::defaultConfig(), faults);
        rig.start();
        rig.link.arrived = [&rig] { rig.pump(); };
        counting = true;
        const long commands = rig.commands();
        c.act(rig);
        for (int guard = 0; guard < 400 && rig.timer.running; ++guard) rig.controller.onTimer();
        EXPECT_FALSE(rig.timer.running) << "the device has answered everything";
        EXPECT_GT(rig.commands(), commands);
        EXPECT_FALSE(requests.empty());
        for (const auto& [packet, times] : requests) EXPECT_EQ(times, 1) << packet.size() << " bytes";
    }
}

TEST(PanelTimer, RemovalLetsItSleepAndArrivalWakesIt) {
    Rig rig;
    rig.start();
    rig.controller.onClicked(kStereoMixCheckId, true);
    ASSERT_TRUE(rig.timer.running);
    rig.sim.unplug();  // before the device answered
    rig.controller.onRemoval();
    EXPECT_FALSE(rig.timer.running);
    rig.sim.replug();
    rig.controller.onArrival();
    EXPECT_TRUE(rig.timer.running);
    EXPECT_EQ(rig.timer.restarts.back(), 1000);
}

TEST(PanelEvents, BatteryReportShowsItsText) {
    Rig rig;
    rig.start();
    rig.sim.withDevice([](sim::TolkaSim& d) { d.config().batteryCentivolts = 402; });
    rig.sim.sendBattery();
    rig.pump();
    EXPECT_EQ(rig.controller.text(1051), "4.02 V");
}

TEST(PanelDevice, RemovalResetsEverythingAndArrivalReconnects) {
    Rig rig;
    rig.start();
    rig.controller.onClicked(1052, true);
    rig.pump();
    rig.sim.unplug();
    rig.controller.onRemoval();
    for (int id : kInteractiveSet) EXPECT_FALSE(rig.controller.enabled(id)) << id;
    EXPECT_EQ(rig.controller.text(1031), "没有找到Vexlor声卡");
    EXPECT_EQ(rig.controller.text(1051), "");
    EXPECT_EQ(rig.controller.text(1074), "无新版本");
    EXPECT_FALSE(rig.controller.enabled(1074));
    EXPECT_EQ(rig.controller.value(1052), 0);
    EXPECT_EQ(rig.controller.control(1003).max, 16);
    EXPECT_EQ(rig.controller.deviceSetting(), ParameterSet{});
    EXPECT_EQ(rig.controller.controlAdvanced(), AdvancedSettings{});
    EXPECT_FALSE(rig.controller.driver().mfiParamsReceived());
    EXPECT_FALSE(rig.link.isOpen);
    EXPECT_EQ(rig.trace.back(), "out\n");
    EXPECT_EQ(rig.controller.text(1067), "原声") << "captions stay";

    rig.sim.replug();
    rig.controller.onArrival();
    EXPECT_EQ(rig.controller.text(1031), "VexlorTolka连接");
    EXPECT_EQ(rig.controller.driver().startMode(), 2);
    EXPECT_FALSE(rig.controller.enabled(1000));
    for (int i = 0; i < 4 && !rig.controller.enabled(1000); ++i) {
        rig.pump();
        rig.controller.onTimer();
    }
    EXPECT_TRUE(rig.controller.enabled(1000));
    EXPECT_EQ(rig.controller.control(1003).max, 24);
}

TEST(PanelDevice, RemovalNarrowsTheLiveRangeAndItsLabelFollowsTheSlider) {
    // liveVol 4 of 24 sits at position 20; the range 0..16 after removal moves the slider to 16 (the bottom),
    // which reads 0: the label must not keep the old 4.
    auto config = sim::defaultConfig();
    config.parameters.liveVol = 4;
    Rig rig(config);
    rig.start();
    ASSERT_EQ(rig.controller.text(1036), "4");
    rig.sim.unplug();
    rig.controller.onRemoval();
    EXPECT_EQ(rig.controller.value(1003), 16);
    EXPECT_EQ(rig.controller.text(1036), "0");
}

TEST(PanelDevice, RemovalOfAnotherDeviceChangesNothing) {
    Rig rig;
    rig.start();
    rig.view.changed.clear();
    rig.controller.onRemoval();  // the probe still finds the sound card
    EXPECT_TRUE(rig.controller.enabled(1000));
    EXPECT_TRUE(rig.link.isOpen);
    EXPECT_TRUE(rig.view.changed.empty());
    EXPECT_EQ(rig.trace.back(), "out\n");
}

TEST(PanelDevice, ArrivalWithNothingToOpenOnlyTraces) {
    Rig rig;
    rig.sim.unplug();
    rig.controller.initialise();
    EXPECT_EQ(rig.controller.text(1031), "没有找到Vexlor声卡");
    EXPECT_FALSE(rig.controller.deviceOpen());
    EXPECT_EQ(rig.count("in\n"), 1);
}

TEST(PanelQuickKeys, RightClickReachesReplaceOnlyOnEnabledButtons) {
    Rig rig;
    rig.controller.initialise();
    EXPECT_FALSE(rig.controller.onQuickKeyRightClick(1070));
    rig.start();
    EXPECT_TRUE(rig.controller.onQuickKeyRightClick(1070));
    EXPECT_FALSE(rig.controller.onQuickKeyRightClick(1000));
    EXPECT_EQ(rig.view.replaced, (std::vector<int>{1}));
}

TEST(PanelPresets, DeleteButtonFollowsTheSelectionAtEnabling) {
    std::vector<std::string> names(64, "x");
    Rig rig;
    rig.start(names);
    EXPECT_EQ(rig.controller.value(1064), 0);
    EXPECT_FALSE(rig.controller.enabled(1065));
    rig.sim.unplug();
    rig.controller.onRemoval();
    rig.controller.onPresetSelected(62);
    rig.sim.replug();
    rig.controller.onArrival();
    for (int i = 0; i < 4 && !rig.controller.enabled(1000); ++i) {
        rig.pump();
        rig.controller.onTimer();
    }
    EXPECT_TRUE(rig.controller.enabled(1065));
    EXPECT_TRUE(contains(rig.trace, "62\n"));
}

}  // namespace
}  // namespace qv7::panel::test
