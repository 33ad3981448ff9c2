// "使用效果" end to end: the library, the driver and the simulated Tolka in one process.
#include <gtest/gtest.h>

#include "device/link_runner.h"
#include "params/builtin_presets.h"
#include "presets/preset_library.h"
#include "sim/sim_transport.h"
#include "temp_dir.h"

namespace qv7 {
namespace {

struct Rig {
    ManualClock clock;
    sim::SimTransport device;
    mfi driver;
    LinkRunner runner;

    explicit Rig(sim::SimConfig config) : device(std::move(config), {}, &clock), runner(driver, device, clock) {
        driver.setDiagnostics([](std::string_view) {});
    }
    bool until(const std::function<bool()>& done) { return runner.runUntil(done, 30000) == LinkRunner::Outcome::Done; }
    ParameterSet held() {
        ParameterSet s;
        device.withDevice([&](sim::TolkaSim& t) { s = t.parameters(); });
        return s;
    }
};

TEST(PresetApplyWithSimulator, DeviceEndsUpWithThePresetAndKeepsItsOwnFields) {
    const ParameterSet preset = BuiltinPresets()[5].set;  // 唱歌03: auto_poweroff_time 13
    ParameterSet lateOutOfRange = preset;
    lateOutOfRange.dodgeThreshold = 0;
    lateOutOfRange.hpfCutoff = 0;
    ParameterSet loud = preset;
    loud.liveVol = 20;
    const struct {
        const char* what;
        const char* firmware;
        ParameterSet preset;
        bool applied;
        std::size_t bytesTaken;
    } cases[] = {
        {"newest firmware", "1.0.7", preset, true, 30},
        {"liveVol 20 refused on 1.0.2", "1.0.2", loud, false, 0},
        {"late fields ignored on 1.0.0", "1.0.0", lateOutOfRange, true, 25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto config = sim::defaultConfig();
        config.firmwareVersion = c.firmware;
        config.parameters.accompany = 1;
        config.parameters.auto_poweroff = 1;
        config.parameters.auto_poweroff_time = 5;
        Rig rig(config);
        rig.runner.session().connect(1);
        ASSERT_TRUE(rig.until([&] { return rig.driver.mfiParamsReceived() && rig.driver.step() == kStepIdle; }));
        const ParameterSet before = rig.held();

        test::TempDir dir;
        HeadlessPresetUi ui;
        PresetLibrary lib(ui, dir / "para.bin", [](std::string_view) {});
        lib.InitPresetLibrary();
        lib.AddPreset(PresetEntry::make(c.preset, "p"));
        lib.OnPresetSelected(62);
        ParameterSet deviceSetting = rig.driver.deviceParameters();
        ParameterSet controlSetting = deviceSetting;
        lib.ApplyPreset(rig.driver, deviceSetting, controlSetting);
        ASSERT_TRUE(rig.until([&] { return rig.driver.step() == kStepIdle; }));

        if (!c.applied) {
            EXPECT_EQ(rig.held(), before);
            continue;
        }
        ParameterSet expected = before;  // a short set leaves the device's late fields alone
        const auto p = c.preset.bytes();
        for (std::size_t b = 0; b < c.bytesTaken; ++b) expected.set(b, p[b]);
        expected.accompany = 1;
        expected.auto_poweroff = 1;
        expected.auto_poweroff_time = 5;
        EXPECT_EQ(rig.held(), expected);
        EXPECT_EQ(deviceSetting.auto_poweroff_time, 5);
    }
}

}  // namespace
}  // namespace qv7
