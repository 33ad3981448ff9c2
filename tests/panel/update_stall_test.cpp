// The update group's word on a firmware write that stopped moving, on a test clock: the driver keeps
// repeating its step every second, and after ten seconds without progress label 1076 says so.
#include <gtest/gtest.h>

#include <string>

#include "common/byte_io.h"
#include "driver_support.h"
#include "panel_test_support.h"

namespace qv7::panel {
namespace {

constexpr const char* kStalled10 = "写入停滞，已 10 秒无进展，请检查连接";
constexpr const char* kStalled11 = "写入停滞，已 11 秒无进展，请检查连接";

FirmwareOffer offer(std::size_t size) {
    FirmwareOffer o;
    o.image.resize(size);
    for (std::size_t i = 0; i < size; ++i) o.image[i] = static_cast<uint8_t>(i * 7 + 3);
    o.description = "更稳定";
    o.softwareVersion = "1.0.9";
    return o;
}

// The user has confirmed an offer of `size` bytes: the write has started.
void startWrite(test::Rig& rig, std::size_t size) {
    rig.start();
    rig.controller.onFirmwareOffer(offer(size));
    rig.controller.onClicked(1074, false);
    ASSERT_EQ(rig.view.questions.size(), 1u);
    rig.view.questions[0].second(true);
    ASSERT_EQ(rig.controller.updateGroup().state(), FirmwareUpdateGroup::ButtonState::Writing);
}

// One second of the window's life: the clock moves on and the step timer fires.
void tick(test::Rig& rig, int seconds = 1) {
    for (int i = 0; i < seconds; ++i) {
        rig.clock.advance(1000);
        rig.controller.onTimer();
    }
}

TEST(PanelUpdateStall, TenSecondsWithoutProgressAreShownUntilProgressResumes) {
    test::Rig rig;
    startWrite(rig, 4400);
    // Ten blocks go through, then the device's answers are held back (the link has stopped).
    for (int guard = 0; guard < 200 && rig.controller.driver().bytesAcknowledged() < 440; ++guard)
        ASSERT_TRUE(rig.pumpOne());
    const std::string moving = rig.controller.text(1076);
    ASSERT_EQ(moving, "10%");
    const long packets = rig.controller.session().packetsWritten();
    tick(rig, 9);
    EXPECT_EQ(rig.controller.text(1076), moving);
    EXPECT_GE(rig.controller.session().packetsWritten(), packets + 9) << "the step is still repeated every second";
    tick(rig);
    EXPECT_EQ(rig.controller.text(1076), kStalled10);
    EXPECT_EQ(rig.controller.value(1075), 10) << "the bar keeps its place";
    tick(rig);
    EXPECT_EQ(rig.controller.text(1076), kStalled11);
    // The link comes back: the first acknowledged block clears the notice.
    for (int guard = 0; guard < 50 && rig.controller.text(1076) == kStalled11; ++guard) ASSERT_TRUE(rig.pumpOne());
    EXPECT_GT(rig.controller.driver().bytesAcknowledged(), 440);
    EXPECT_EQ(rig.controller.text(1076), std::to_string(rig.controller.driver().progressPercent()) + "%");
}

TEST(PanelUpdateStall, EachStageThatStopsAnsweringIsNoticed) {
    using Hang = sim::SimConfig::Hang;
    for (Hang hang : {Hang::Start, Hang::Erase, Hang::Data, Hang::Over}) {
        SCOPED_TRACE(static_cast<int>(hang));
        auto config = sim::defaultConfig();
        config.hangAt = hang;
        config.hangAtBytes = 2200;
        test::Rig rig(config);
        startWrite(rig, 4400);
        rig.pump();
        tick(rig, 9);
        rig.pump();
        EXPECT_NE(rig.controller.text(1076), kStalled10);
        tick(rig);
        rig.pump();
        EXPECT_EQ(rig.controller.text(1076), kStalled10);
        // Removal puts the group back to no offer, notice and all.
        rig.sim.unplug();
        rig.controller.onRemoval();
        EXPECT_EQ(rig.controller.text(1076), "0%");
        tick(rig, 20);
        EXPECT_EQ(rig.controller.text(1076), "0%");
    }
}

TEST(PanelUpdateStall, AWriteThatFailsWhileStalledIsLookedAtOnceMoreThenTheTimerSleeps) {
    test::Rig rig;
    startWrite(rig, 4400);
    for (int guard = 0; guard < 200 && rig.controller.driver().bytesAcknowledged() < 440; ++guard)
        ASSERT_TRUE(rig.pumpOne());
    tick(rig, 10);
    ASSERT_EQ(rig.controller.text(1076), kStalled10);
    // The device claims more bytes than the block held: the driver gives the write up and goes idle.
    std::vector<uint8_t> reply{cmd::kReplyUpdateData, 1};
    ByteWriter(reply).u32le(static_cast<uint32_t>(rig.controller.driver().bytesAcknowledged())).u8(200);
    rig.controller.onReport(qv7::test::deviceData(reply, 90));
    ASSERT_EQ(rig.view.messages.size(), 1u);
    ASSERT_EQ(rig.controller.driver().step(), kStepIdle);
    EXPECT_TRUE(rig.timer.running) << "the stall notice is still up";
    tick(rig);
    EXPECT_EQ(rig.controller.text(1076), "10%") << "a write that has ended is not stalled";
    EXPECT_FALSE(rig.timer.running);
}

TEST(PanelUpdateStall, AFinishedWriteIsNeverCalledStalled) {
    test::Rig rig;
    startWrite(rig, 4400);
    rig.pump();
    ASSERT_EQ(rig.controller.text(1076), "写入完成，更新成功");
    EXPECT_FALSE(rig.timer.running);
    tick(rig, 30);
    EXPECT_EQ(rig.controller.text(1076), "写入完成，更新成功");
}

}  // namespace
}  // namespace qv7::panel
