// The driver talking to the simulated Tolka in process, on a test clock.
#include "conversation.h"

#include <gtest/gtest.h>

namespace qv7 {
namespace {

using test::Conversation;
using test::Event;
using test::withFirmware;

TEST(StartUp, EveryFirmwareVariant) {
    struct Case {
        const char* firmware;
        std::vector<Event> events;
        std::vector<std::string> steps;
    } cases[] = {
        {"1.0.7",
         {{1, 1}, {3, 1}, {6, 1}, {4, 1}},
         {"mfiDecete", "iPodAckSync", "StartIdentification", "IdentificationAccepted", "StartEAProtocolSession",
          "getCpSerail", "sGetParaName", "getpara"}},
        {"1.0.2", {{1, 1}, {3, 1}, {6, 1}, {2, 1}, {4, 1}}, {}},
        {"1.0.0",
         {{1, 1}, {3, 1}, {4, 1}},
         {"mfiDecete", "iPodAckSync", "StartIdentification", "IdentificationAccepted", "StartEAProtocolSession",
          "getCpSerail", "getpara"}},
    };
    for (const auto& c : cases) {
        Conversation conv(withFirmware(c.firmware));
        ASSERT_TRUE(conv.startUp()) << c.firmware;
        auto notable = conv.log.notable();
        notable.erase(std::remove(notable.begin(), notable.end(), Event(2, 1)), notable.end());
        auto expected = c.events;
        expected.erase(std::remove(expected.begin(), expected.end(), Event(2, 1)), expected.end());
        EXPECT_EQ(notable, expected) << c.firmware;
        if (!c.steps.empty()) {
            std::vector<std::string> names;
            for (const auto& s : conv.steps)
                if (s.find('(') == std::string::npos && s.find('[') == std::string::npos)
                    names.push_back(s.substr(0, s.size() - 1));
            EXPECT_EQ(names, c.steps) << c.firmware;
        }
        EXPECT_EQ(conv.d.identity().FirmwareVersion, c.firmware);
        EXPECT_EQ(conv.d.deviceParameters().micVol, 14);
        EXPECT_EQ(conv.d.batteryText(), "3.85 V");
        EXPECT_EQ(conv.device.reportsSent() > 0, true);
        conv.device.withDevice([](sim::TolkaSim& s) {
            EXPECT_EQ(s.stats().malformed, 0);
            EXPECT_EQ(s.stats().rejected, 0);
        });
    }
}

// A device that never answers.
struct Silent : HidTransport {
    std::vector<std::vector<uint8_t>> writes;
    std::string describe() const override { return "silent"; }
    std::size_t inputReportLength() const override { return 64; }
    std::size_t outputReportLength() const override { return 64; }
    bool write(std::span<const uint8_t> data) override {
        writes.emplace_back(data.begin(), data.end());
        return true;
    }
    ReadStatus read(std::vector<uint8_t>&, int) override { return ReadStatus::Timeout; }
    void interrupt() override {}
};

TEST(StartUp, DetectScheduleByStartMode) {
    for (int mode : {1, 2}) {
        ManualClock clock;
        Silent silent;
        mfi d;
        d.setDiagnostics([](std::string_view) {});
        LinkRunner runner(d, silent, clock);
        runner.session().connect(mode);
        runner.runUntil([] { return false; }, 5500);  // the start and ticks at 1, 2, 3, 4, 5 s
        ASSERT_EQ(silent.writes.size(), 6u);
        for (std::size_t i = 0; i < silent.writes.size(); ++i) {
            const bool detect = silent.writes[i].size() == 8 && silent.writes[i][1] == 0x55;
            EXPECT_EQ(detect, mode == 2 || i < 3) << "mode " << mode << " write " << i;
        }
    }
}

TEST(Settings, ChangeReachesTheDeviceAndEndsIdle) {
    Conversation conv;
    ASSERT_TRUE(conv.startUp());
    ParameterSet s = conv.d.deviceParameters();
    s.micVol = 5;
    s.eqGain[6] = 30;
    conv.d.mfiSetPara(s);
    ASSERT_TRUE(conv.idle());
    AdvancedSettings a = conv.d.deviceAdvanced();
    a.erfan = 1;
    EXPECT_EQ(conv.d.mfiSetAdvanced(a), 0);
    ASSERT_TRUE(conv.idle());
    conv.d.mfiSetMix(1);
    ASSERT_TRUE(conv.idle());
    conv.device.withDevice([&](sim::TolkaSim& sim) {
        EXPECT_EQ(sim.parameters(), s);
        EXPECT_EQ(sim.advanced().erfan, 1);
        EXPECT_EQ(sim.mix(), 1);
    });
}

TEST(QuickKeys, StoreThenSelectReportsTheStoredSet) {
    Conversation conv;
    ASSERT_TRUE(conv.startUp());
    ParameterSet s = conv.d.deviceParameters();
    s.rebvol = 9;
    const std::string name = "\xB3\xAA\xB8\xE8"
                             "03";  // "唱歌03" in GBK
    conv.d.mfiSetRepPara(s, reinterpret_cast<const uint8_t*>(name.data()), static_cast<int>(name.size()), 1);
    ASSERT_TRUE(conv.idle());
    EXPECT_EQ(conv.log.events.back(), Event(5, 1));
    conv.d.mfiSetMode(1);
    ASSERT_TRUE(conv.runner.runUntil([&] { return conv.d.deviceParameters().rebvol == 9; }, 5000) ==
                LinkRunner::Outcome::Done);
    conv.device.withDevice([&](sim::TolkaSim& sim) {
        EXPECT_EQ(sim.key(1).name, name);
        EXPECT_EQ(sim.mode(), 1);
    });
}

TEST(Firmware, TransferVerifiedByTheDevice) {
    for (bool unlock : {false, true}) {
        auto config = sim::defaultConfig();
        config.requireUnlock = unlock;
        Conversation conv(config);
        ASSERT_TRUE(conv.startUp());
        std::vector<uint8_t> image(98304);
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + i / 256);
        ASSERT_TRUE(conv.d.mfiBeginUpdate(image, ImageWordSum(image)));
        ASSERT_TRUE(conv.idle(600000));
        EXPECT_EQ(conv.log.events.back(), Event(8, 5));
        conv.device.withDevice([&](sim::TolkaSim& sim) {
            EXPECT_EQ(sim.installedImage(), image);
            EXPECT_EQ(sim.unlocked(), unlock);
        });
    }
}

TEST(Firmware, WrongChecksumIsRefusedAtTheEnd) {
    Conversation conv;
    ASSERT_TRUE(conv.startUp());
    const std::vector<uint8_t> image(1000, 0x42);
    conv.d.mfiBeginUpdate(image, ImageWordSum(image) + 1);
    ASSERT_TRUE(conv.idle());
    EXPECT_EQ(std::count(conv.log.events.begin(), conv.log.events.end(), Event(8, 5)), 0);
    conv.device.withDevice([](sim::TolkaSim& sim) { EXPECT_TRUE(sim.installedImage().empty()); });
}

TEST(Firmware, SetterDuringTransferStillCompletes) {
    Conversation conv;
    ASSERT_TRUE(conv.startUp());
    std::vector<uint8_t> image(440, 3);
    conv.d.mfiBeginUpdate(image, ImageWordSum(image));
    ASSERT_EQ(conv.runner.runUntil([&] { return conv.d.bytesAcknowledged() >= 132; }, 5000), LinkRunner::Outcome::Done);
    conv.d.mfiSetCharge(1);  // replaces the block step; the device's next block reply brings it back
    ASSERT_TRUE(conv.idle(60000));
    conv.device.withDevice([&](sim::TolkaSim& sim) {
        EXPECT_EQ(sim.charge(), 1);
        EXPECT_EQ(sim.installedImage(), image);
    });
}

TEST(LossyLink, StartUpAndASettingComplete) {
    sim::LinkFaults faults;
    faults.toDevice.drop = 0.3;
    faults.toDevice.seed = 11;
    faults.toHost.drop = 0.3;
    faults.toHost.seed = 12;
    Conversation conv(sim::defaultConfig(), faults);
    EXPECT_TRUE(conv.startUpAndChange(findField("wet")->byte, 16, 600000));
    EXPECT_GT(conv.runner.ticks(), 0);  // the one-second repetition did the work
}

TEST(LossyLink, DuplicatedSplitAndCorruptReportsStillConverge) {
    sim::LinkFaults faults;
    for (auto* f : {&faults.toDevice, &faults.toHost}) {
        f->duplicate = 0.2;
        f->split = 0.2;
        f->corrupt = 0.1;
        f->delay = 0.1;
        f->delayMs = 300;
    }
    faults.toHost.seed = 5;
    Conversation conv(sim::defaultConfig(), faults);
    EXPECT_TRUE(conv.startUpAndChange(findField("type")->byte, 6, 600000));
}

TEST(HotPlug, UnplugEndsTheRunAndReplugStartsAgain) {
    auto config = sim::defaultConfig();
    sim::LinkFaults faults;
    faults.unplugAfter = 3;
    Conversation conv(config, faults);
    conv.runner.session().connect(1);
    EXPECT_EQ(conv.runner.runUntil([] { return false; }, 10000), LinkRunner::Outcome::Gone);
    conv.runner.session().deviceGone();
    EXPECT_EQ(conv.d.identity().FirmwareVersion, "");
    conv.device.replug();
    EXPECT_TRUE(conv.startUp(2));
}

}  // namespace
}  // namespace qv7
