// Quick keys: captions, the right-click target and storing a library preset in a key.
#include "presets/quick_keys.h"

#include <gtest/gtest.h>

#include "driver_support.h"
#include "hex.h"
#include "params/builtin_presets.h"
#include "presets/device_report.h"
#include "presets/preset_library.h"
#include "temp_dir.h"

namespace qv7 {
namespace {

using test::Bytes;
using test::TempDir;

TEST(QuickKeys, ChoosingSinging03ForKey1SendsItsNameAndAllThirtyBytes) {
    mfi driver;
    driver.setDiagnostics([](std::string_view) {});
    test::identify(driver, "1.0.7");
    ParaReplaceChoice dialog(BuiltinPresets());
    EXPECT_EQ(dialog.itemText(5), "唱歌03");
    dialog.onSelected(5);
    const auto caption = ReplaceQuickKey(driver, dialog.chosen(), 1);
    EXPECT_EQ(caption, "唱歌03");
    const auto set = BuiltinPresets()[5].set.bytes();
    EXPECT_EQ(test::pendingApplication(driver),
              test::cat({test::hex("21 01 1E 06"), Bytes(set.begin(), set.end()), test::hex("B3 AA B8 E8 30 33")}));
}

TEST(QuickKeys, UntouchedDialogStoresEntry0AndNothingIsValidated) {
    TempDir dir;
    HeadlessPresetUi ui;
    PresetLibrary lib(ui, dir / "para.bin", [](std::string_view) {});
    lib.InitPresetLibrary();
    ParameterSet loud = BuiltinPresets()[0].set;
    loud.liveVol = 20;
    lib.savePreset("loud", loud);

    mfi driver;
    driver.setDiagnostics([](std::string_view) {});
    test::identify(driver, "1.0.2");
    ParaReplaceChoice dialog(lib);
    ASSERT_EQ(dialog.entries().size(), 63u);
    EXPECT_EQ(ReplaceQuickKey(driver, dialog.chosen(), 0), "原声默认");

    dialog.onSelected(62);
    dialog.onSelected(500);  // ignored
    EXPECT_EQ(ReplaceQuickKey(driver, dialog.chosen(), 2), "loud");
    const auto app = test::pendingApplication(driver);
    ASSERT_GE(app.size(), 5u);
    EXPECT_EQ(app[1], 2);
    EXPECT_EQ(app[4 + 3], 20);  // liveVol 20 goes out on 1.0.2
}

TEST(QuickKeys, KeyOutsideTheThreeSendsNothing) {
    mfi driver;
    driver.setDiagnostics([](std::string_view) {});
    for (int k : {-1, 3}) {
        EXPECT_EQ(ReplaceQuickKey(driver, BuiltinPresets()[0], k), std::nullopt);
        EXPECT_EQ(driver.pendingLength(), 0);
    }
}

TEST(QuickKeys, CaptionsFollowTheNamesReply) {
    const struct {
        const char* what;
        Bytes reply;
        std::array<std::string, 3> captions;
    } cases[] = {
        {"three names",
         test::cat({test::hex("A2 04 06 02"), test::hex("D4 AD C9 F9"), test::zeros(6), test::hex("B3 AA B8 E8 30 33"),
                    test::zeros(4), test::hex("61 62"), test::zeros(8)}),
         {"原声", "唱歌03", "ab"}},
        {"one length above 10 empties all", test::cat({test::hex("A2 04 0B 02"), test::zeros(30)}), {"", "", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        mfi driver;
        driver.setDiagnostics([](std::string_view) {});
        test::identify(driver, "1.0.7");
        test::deliver(driver, 2, c.reply);
        EXPECT_EQ(quickKeyCaptions(driver), c.captions);
    }
    EXPECT_EQ(fixedQuickKeyCaptions(), (std::array<std::string, 3>{"原声", "唱歌", "喊麦"}));
}

// Firmware 1.0.0 is never asked for names: its keys have the fixed ones, for the window and for `info` alike.
TEST(QuickKeys, OriginalFirmwareKeysHaveTheFixedNames) {
    mfi driver;
    driver.setDiagnostics([](std::string_view) {});
    test::identify(driver, "1.0.0");
    EXPECT_EQ(quickKeyCaptions(driver), fixedQuickKeyCaptions());
    EXPECT_NE(infoReport(driver, "sim", false).find("quickKeys:         原声 | 唱歌 | 喊麦\n"), std::string::npos);
}

TEST(QuickKeys, RightClickHitsOnlyEnabledButtonsInKeyOrder) {
    const std::array<QuickKeyButton, 3> buttons = {{
        {0, 0, 100, 30, true},
        {110, 0, 210, 30, true},
        {220, 0, 320, 30, false},
    }};
    const struct {
        int x, y;
        std::optional<int> key;
    } cases[] = {{50, 10, 0},
                 {110, 29, 1},
                 {209, 0, 1},
                 {250, 10, std::nullopt},
                 {105, 10, std::nullopt},
                 {50, 30, std::nullopt},
                 {-1, 10, std::nullopt}};
    for (const auto& c : cases) EXPECT_EQ(quickKeyAt(buttons, c.x, c.y), c.key) << c.x << "," << c.y;
}

}  // namespace
}  // namespace qv7
