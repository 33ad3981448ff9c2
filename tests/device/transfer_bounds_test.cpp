// Firmware transfer bounds that must hold whatever the device's block replies say (found by fuzz_driver).
#include <gtest/gtest.h>

#include "block_reply.h"
#include "driver_support.h"
#include "recorder.h"

namespace qv7 {
namespace {

using test::blockReply;

// A device that echoes a longer block than was sent, or a reply to an earlier, longer image, must not push
// the acknowledged count past the image or the progress past 100 %, nor see the transfer claimed done.
TEST(TransferBounds, EchoedLengthsPastTheImageStopAtItsEnd) {
    struct Case {
        const char* what;
        std::vector<std::vector<uint8_t>> replies;
    } cases[] = {
        {"last block echoed as 200 bytes, then sent again",
         {blockReply(1, 0, 44), blockReply(1, 44, 44), blockReply(1, 88, 200), blockReply(2, 88, 12)}},
        {"first block echoed as 255 bytes", {blockReply(1, 0, 255), blockReply(2, 0, 44)}},
        {"two long echoes", {blockReply(1, 0, 90), blockReply(1, 90, 90), blockReply(2, 180, 44)}},
    };
    for (const auto& c : cases) {
        mfi d;
        test::Recorder rec;
        rec.attach(d);
        test::identify(d, "1.0.7");
        uint8_t deviceSeq = 100;
        auto reply = [&](std::vector<uint8_t> app) { d.mfiReceive(test::deviceData(std::move(app), ++deviceSeq)); };
        ASSERT_TRUE(d.mfiBeginUpdate(std::vector<uint8_t>(100, 1), 0));
        reply({0x90, 1});
        reply({0x91, 1});
        for (const auto& r : c.replies) {
            reply(r);
            EXPECT_LE(d.bytesAcknowledged(), d.imageLength()) << c.what;
            EXPECT_GE(d.progressPercent(), 0) << c.what;
            EXPECT_LE(d.progressPercent(), 100) << c.what;
        }
        EXPECT_LE(d.bytesAcknowledged(), 100) << c.what;
        // The transfer ends at the first over-long echo, with its message, and never claims the end.
        EXPECT_EQ(d.step(), kStepIdle) << c.what;
        ASSERT_EQ(rec.messages.size(), 1u) << c.what;
        EXPECT_TRUE(rec.messages[0].starts_with("Error|写入固件失败")) << c.what;
        EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), test::Event(8, 4)), 0) << c.what;
    }
}

}  // namespace
}  // namespace qv7
