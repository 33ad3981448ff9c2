// Firmware writes to simulated devices that hang at each stage, or are slow but keep going, on a test
// clock: the wait ends a fixed time after the last progress, never while the transfer still moves.
#include "device/transfer_progress.h"

#include <gtest/gtest.h>

#include "device/firmware_image.h"
#include "device/link_runner.h"
#include "sim/sim_transport.h"

namespace qv7 {
namespace {

struct Write {
    ManualClock clock;
    sim::SimTransport device;
    mfi d;
    LinkRunner runner;
    TransferProgress progress;

    explicit Write(sim::SimConfig config, sim::LinkFaults faults = {})
        : device(std::move(config), faults, &clock), runner(d, device, clock) {
        d.setDiagnostics([](std::string_view) {});
    }
    // Start-up, then the image handed over and run until it ends or stops moving for idleMs.
    LinkRunner::Outcome run(const std::vector<uint8_t>& image, int64_t idleMs) {
        runner.session().connect(1);
        EXPECT_EQ(runner.runUntil([&] { return d.mfiParamsReceived() && d.step() == kStepIdle; }, 30000),
                  LinkRunner::Outcome::Done);
        EXPECT_TRUE(d.mfiBeginUpdate(image, ImageWordSum(image)));
        progress.start(d, clock.nowMs());
        return runner.runWhileProgressing([&] { return d.step() == kStepIdle; },
                                          [&] { return progress.observe(d, clock.nowMs()); }, idleMs);
    }
    int updates() {
        int n = 0;
        device.withDevice([&](sim::TolkaSim& s) { n = s.updatesCompleted(); });
        return n;
    }
};

std::vector<uint8_t> image(std::size_t n) {
    std::vector<uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 13 + 5);
    return v;
}

TEST(TransferProgress, AHangingDeviceIsGivenUpOnAfterTheIdleTime) {
    using Hang = sim::SimConfig::Hang;
    struct Case {
        Hang hang;
        uint32_t bytes;
        const char* says;
    };
    for (const Case c :
         {Case{Hang::Start, 0, "the device did not answer the update start"},
          Case{Hang::Erase, 0, "the device did not answer the erase"},
          Case{Hang::Data, 4400, "the transfer stalled at 4400 of 98304 bytes"},
          Case{Hang::Data, 0, "the transfer stalled at 0 of 98304 bytes"},
          Case{Hang::Over, 0, "the device did not answer the end of the transfer (all 98304 bytes sent)"}}) {
        SCOPED_TRACE(c.says);
        auto config = sim::defaultConfig();
        config.hangAt = c.hang;
        config.hangAtBytes = c.bytes;
        Write w(config);
        EXPECT_EQ(w.run(image(98304), 5000), LinkRunner::Outcome::TimedOut);
        EXPECT_EQ(w.progress.stalledText(), c.says);
        // Given up on once the idle time has passed, the driver's one-second repeats notwithstanding.
        EXPECT_GE(w.progress.sinceProgressMs(w.clock.nowMs()), 5000);
        EXPECT_LT(w.progress.sinceProgressMs(w.clock.nowMs()), 5000 + 20);
        EXPECT_FALSE(w.progress.ended());
        EXPECT_EQ(w.updates(), 0);
    }
}

TEST(TransferProgress, ASlowTransferThatKeepsMovingIsNeverCutOff) {
    // Every report from the device 700 ms late: 100 blocks take over a minute of the test clock,
    // sixty times the idle bound of one second.
    sim::LinkFaults faults;
    faults.toHost.delay = 1.0;
    faults.toHost.delayMs = 700;
    Write w(sim::defaultConfig(), faults);
    const int64_t before = w.clock.nowMs();
    EXPECT_EQ(w.run(image(4400), 1000), LinkRunner::Outcome::Done);
    EXPECT_GT(w.clock.nowMs() - before, 60'000);
    EXPECT_EQ(w.updates(), 1);
    w.progress.observe(w.d, w.clock.nowMs());
    EXPECT_TRUE(w.progress.ended());
    EXPECT_FALSE(w.progress.observe(w.d, w.clock.nowMs()));
}

TEST(TransferProgress, RepeatsAndRestartsAreNotProgress) {
    mfi d;
    d.setDiagnostics([](std::string_view) {});
    d.mfiInit();
    const auto img = image(100);
    ASSERT_TRUE(d.mfiBeginUpdate(img, ImageWordSum(img)));
    TransferProgress p;
    EXPECT_FALSE(p.observe(d, 0)) << "nothing is watched before start";
    p.start(d, 1000);
    EXPECT_EQ(p.sinceProgressMs(1000), 0);
    // The step timer resends the start every second: the same stage is no progress.
    d.mfiStep();
    EXPECT_FALSE(p.observe(d, 2000));
    EXPECT_EQ(p.sinceProgressMs(3000), 2000);
    EXPECT_EQ(p.stalledText(), "the device did not answer the update start");
}

}  // namespace
}  // namespace qv7
