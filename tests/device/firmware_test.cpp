// Firmware transfer on the driver side: checksum, payloads, blocks, progress and failure paths.
#include <gtest/gtest.h>

#include <numeric>

#include "block_reply.h"
#include "device/firmware_image.h"
#include "driver_support.h"
#include "hex.h"
#include "recorder.h"

namespace qv7 {
namespace {

using test::blockReply;
using test::hex;

std::string pendingApp(const mfi& d) {
    const auto p = d.pendingPacket();
    return p.size() > 12 ? hex(p.subspan(11, p.size() - 12)) : "";
}

struct Transfer {
    mfi d;
    test::Recorder rec;
    uint8_t deviceSeq = 100;
    Transfer() {
        rec.attach(d);
        test::identify(d, "1.0.7");
        rec.clear();
    }
    void reply(std::vector<uint8_t> app) { d.mfiReceive(test::deviceData(std::move(app), ++deviceSeq)); }
    // An image of n bytes handed over, its start accepted and the device erased: the first block is out.
    void erased(std::size_t n) {
        d.mfiBeginUpdate(std::vector<uint8_t>(n, 1), 0);
        reply({0x90, 1});
        reply({0x91, 1});
    }
};

TEST(ImageWordSum, WorkedExamples) {
    EXPECT_EQ(ImageWordSum(hex("01 00 00 00 FF FF FF FF")), 0u);
    EXPECT_EQ(ImageWordSum(hex("01 00 00 00 02 00 00 00")), 3u);
    EXPECT_EQ(ImageWordSum(hex("01 00 00 00 02 00 00 00 7F")), 3u);
    EXPECT_EQ(ImageWordSum({}), 0u);
}

TEST(UpdateStart, Payloads) {
    Transfer t;
    ASSERT_TRUE(t.d.mfiBeginUpdate(hex("01 00 00 00 02 00 00 00"), 3));
    EXPECT_EQ(hex(std::span(t.rec.written.back()).subspan(11, 9)), "10 08 00 00 00 03 00 00 00");
    EXPECT_NE(
        std::find(t.rec.trace.begin(), t.rec.trace.end(), "UpdateDateFileLength(8), UpdateCheckSum(0x00000003)\n"),
        t.rec.trace.end());
    Transfer big;
    ASSERT_TRUE(big.d.mfiBeginUpdate(std::vector<uint8_t>(70000, 0), 0));
    EXPECT_EQ(hex(std::span(big.rec.written.back()).subspan(12, 4)), "70 11 01 00");

    Transfer refused;
    EXPECT_FALSE(refused.d.mfiBeginUpdate({}, 0));
    EXPECT_FALSE(refused.d.mfiBeginUpdate(std::vector<uint8_t>(196609, 0), 0));
    EXPECT_TRUE(refused.rec.written.empty());
}

TEST(Blocks, HundredByteImageGoesOutAs44_44_12) {
    Transfer t;
    std::vector<uint8_t> image(100);
    std::iota(image.begin(), image.end(), uint8_t{0});
    t.d.mfiBeginUpdate(image, ImageWordSum(image));
    t.reply({0x90, 1});
    EXPECT_EQ(hex(std::span(t.rec.written.back()).subspan(11, 1)), "11");  // updateEarse
    t.reply({0x91, 1});

    struct Expect {
        uint32_t offset;
        uint8_t len;
        int progress;
    } blocks[] = {{0, 44, 0}, {44, 44, 44}, {88, 12, 88}};
    for (const auto& b : blocks) {
        EXPECT_EQ(t.d.step(), kStepUpdateData);
        EXPECT_EQ(t.d.progressPercent(), b.progress);
        EXPECT_EQ(t.rec.events.back(), test::Event(8, 2));
        const auto app = test::hex(pendingApp(t.d));
        ASSERT_EQ(app.size(), 6u + b.len);
        EXPECT_EQ(hex(std::span(app).first(6)),
                  hex(std::vector<uint8_t>{0x12, static_cast<uint8_t>(b.offset), 0, 0, 0, b.len}));
        EXPECT_EQ(app[6], image[b.offset]);
        t.reply(blockReply(1, b.offset, b.len));
    }
    EXPECT_EQ(t.d.step(), kStepUpdateOver);
    const auto n = t.rec.events.size();
    EXPECT_EQ(t.rec.events[n - 2], test::Event(8, 4));  // over-sent before its packet-ready
    EXPECT_EQ(t.rec.events[n - 1], test::Event(8, 1));
    t.reply({0x93, 1});
    EXPECT_EQ(t.d.step(), kStepIdle);
    EXPECT_EQ(t.rec.events.back(), test::Event(8, 5));
}

TEST(Blocks, FirstBlockBegins12_00000000_2C) {
    Transfer t;
    t.d.mfiBeginUpdate(std::vector<uint8_t>(44, 0xAB), 0);
    t.reply({0x90, 1});
    t.reply({0x91, 1});
    EXPECT_EQ(pendingApp(t.d).substr(0, 17), "12 00 00 00 00 2C");
    t.reply(blockReply(1, 0, 44));
    EXPECT_EQ(t.d.step(), kStepUpdateOver);  // one block, then updateOver
}

TEST(Blocks, RepliesThatRepeatOrDisagree) {
    Transfer t;
    t.erased(200);
    t.reply(blockReply(2, 0, 44));  // send again
    EXPECT_EQ(t.d.bytesAcknowledged(), 0);
    EXPECT_EQ(pendingApp(t.d).substr(0, 17), "12 00 00 00 00 2C");
    t.reply(blockReply(7, 0, 44));  // unknown status: the timer repeats it
    EXPECT_EQ(t.d.bytesAcknowledged(), 0);
    EXPECT_EQ(t.d.pendingLength(), 9);  // only the acknowledgement of the reply
    t.reply(blockReply(1, 0, 44));
    t.reply(blockReply(1, 0, 44));  // the same block acknowledged twice counts once
    EXPECT_EQ(t.d.bytesAcknowledged(), 44);
    EXPECT_EQ(t.rec.trace.back(), "error!!!!!!!!!!!!!!!\n");
    t.reply(blockReply(1, 44, 20));  // fewer bytes taken than sent: resume after them
    EXPECT_EQ(t.d.bytesAcknowledged(), 64);
    EXPECT_EQ(pendingApp(t.d).substr(0, 17), "12 40 00 00 00 2C");
    t.reply(blockReply(2, 44, 44));  // refused, naming the offset the device holds
    EXPECT_EQ(t.d.bytesAcknowledged(), 44);
    EXPECT_EQ(pendingApp(t.d).substr(0, 17), "12 2C 00 00 00 2C");
    t.reply(blockReply(2, 132, 44));  // a refusal from ahead of us changes nothing
    EXPECT_EQ(t.d.bytesAcknowledged(), 44);
}

// A device may echo another offset than the block it took. An answer naming an offset the transfer has
// already passed is a late or repeated one and changes nothing; any other moves the transfer on by the
// length it names, so a device that reads the reply differently from us still finishes.
TEST(Blocks, AnotherEchoedOffsetAdvancesByTheEchoedLengthUnlessAlreadyPassed) {
    const struct {
        const char* what;
        uint32_t offset;
        uint8_t len;
        int acknowledged;  // afterwards
        bool failed;
    } cases[] = {
        {"one past the block (block 88 answered as 89)", 89, 44, 132, false},
        {"far ahead, beyond the image", 5000, 44, 132, false},
        {"ahead, fewer bytes taken", 90, 20, 108, false},
        {"ahead, nothing taken", 89, 0, 88, false},
        {"ahead, more than the block held", 89, 45, 88, true},
        {"a late answer to block 0", 0, 44, 88, false},
        {"a repeated answer to block 44", 44, 44, 88, false},
        {"inside a block already counted", 87, 44, 88, false},
        {"negative", 0xFFFFFFFF, 44, 88, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Transfer t;
        t.erased(200);
        t.reply(blockReply(1, 0, 44));
        t.reply(blockReply(1, 44, 44));
        ASSERT_EQ(t.d.bytesAcknowledged(), 88);
        t.rec.clear();
        t.reply(blockReply(1, c.offset, c.len));
        EXPECT_EQ(t.d.bytesAcknowledged(), c.acknowledged);
        EXPECT_EQ(t.rec.trace, std::vector<std::string>{"error!!!!!!!!!!!!!!!\n"});
        if (c.failed) {
            EXPECT_EQ(t.d.step(), kStepIdle);
            EXPECT_EQ(t.rec.messages.size(), 1u);
            continue;
        }
        EXPECT_TRUE(t.rec.messages.empty());
        EXPECT_EQ(t.d.step(), kStepUpdateData);
        const uint32_t next = static_cast<uint32_t>(c.acknowledged);
        if (c.acknowledged != 88)  // moved on: the next block is out at once
            EXPECT_EQ(pendingApp(t.d).substr(0, 11), hex(std::vector<uint8_t>{0x12, static_cast<uint8_t>(next), 0, 0}));
        else  // nothing moved: only the link acknowledgement goes out, the timer repeats block 88
            EXPECT_EQ(t.d.pendingLength(), 9);
    }

    // The last block answered with another offset still ends the transfer.
    Transfer t;
    t.erased(200);
    for (uint32_t offset = 0; offset < 176; offset += 44) t.reply(blockReply(1, offset + 1, 44));
    EXPECT_EQ(t.d.bytesAcknowledged(), 176);
    t.reply(blockReply(1, 177, 24));
    EXPECT_EQ(t.d.bytesAcknowledged(), 200);
    EXPECT_EQ(t.d.step(), kStepUpdateOver);
}

TEST(Blocks, StaleRepliesOfEveryStageChangeNothing) {
    Transfer t;
    t.erased(200);
    t.reply(blockReply(1, 0, 44));
    t.rec.clear();
    for (const auto& late : std::vector<std::vector<uint8_t>>{
             {0x90, 1}, {0x90, 0}, {0x91, 1}, {0x91, 0}, {0x93, 1}, {0x95, 0}, {0x96, 0}, {0x8F}})
        t.reply(late);
    EXPECT_EQ(t.d.bytesAcknowledged(), 44);
    EXPECT_EQ(t.d.step(), kStepUpdateData);
    EXPECT_TRUE(t.rec.messages.empty());
    EXPECT_EQ(std::count(t.rec.events.begin(), t.rec.events.end(), test::Event(8, 5)), 0);
    for (const auto& w : t.rec.written) EXPECT_EQ(w.size(), 9u);  // only link acknowledgements went out
}

TEST(Blocks, AnAcknowledgementLargerThanTheBlockFailsTheTransfer) {
    Transfer t;
    t.erased(4400);
    t.reply(blockReply(1, 0, 255));
    EXPECT_EQ(t.d.step(), kStepIdle);
    EXPECT_EQ(t.d.bytesAcknowledged(), 0);
    EXPECT_EQ(t.rec.messages, std::vector<std::string>{"Error|写入固件失败：设备确认了255字节，本块只有44字节！"});
    t.reply(blockReply(1, 0, 44));  // the transfer is over: nothing moves it again
    EXPECT_EQ(t.d.bytesAcknowledged(), 0);
    EXPECT_EQ(t.d.step(), kStepIdle);
}

TEST(Failures, StatusRepliesStopWithTheirMessage) {
    struct Case {
        std::vector<std::vector<uint8_t>> before;
        std::vector<uint8_t> reply;
        const char* message;
    } cases[] = {
        {{}, {0x90, 0}, "Error|开始升级失败,0x00！"},
        {{{0x90, 1}}, {0x91, 0x2F}, "Error|擦除失败,0x2f！"},
        {{{0x8F}, {0x94, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}}, {0x95, 3}, "Error|解锁失败,0x03！"},
        {{{0x8F}, {0x94, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {0x95, 1}},
         {0x96, 0},
         "Error|选择升级区域失败,0x00！"},
        {{{0x90, 1}, {0x91, 1}, blockReply(1, 0, 44), blockReply(1, 44, 44), blockReply(1, 88, 12)}, {0x93, 0}, ""},
    };
    for (const auto& c : cases) {
        Transfer t;
        t.d.mfiBeginUpdate(std::vector<uint8_t>(100, 1), 0);
        for (const auto& r : c.before) t.reply(r);
        t.rec.clear();
        t.reply(c.reply);
        EXPECT_EQ(t.d.step(), kStepIdle);
        EXPECT_EQ(t.rec.messages,
                  std::string(c.message).empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
        EXPECT_EQ(std::count(t.rec.events.begin(), t.rec.events.end(), test::Event(8, 5)), 0);
    }
}

TEST(Failures, StrayBlockRepliesWithoutAnImageSendNothing) {
    Transfer t;
    t.reply({0x91, 1});
    t.reply(blockReply(1, 0, 44));
    EXPECT_EQ(t.d.step(), kStepIdentificationAccepted);  // where identification left it
    EXPECT_TRUE(t.rec.written.empty());
}

TEST(Preamble, RunsUnlockAndSelectBeforeUpdateStart) {
    Transfer t;
    t.d.mfiBeginUpdate(std::vector<uint8_t>(100, 1), 0);
    t.reply({0x8F});
    EXPECT_EQ(t.d.step(), kStepUpdateUnlock);
    EXPECT_EQ(hex(std::span(t.rec.written.back()).subspan(11, 1)), "14");
    std::vector<uint8_t> challenge = {0x94, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    t.reply(challenge);
    EXPECT_EQ(t.rec.trace[t.rec.trace.size() - 2],
              "unlock[12]=  0x01 0x02 0x03 0x04 0x05 0x06 0x07 0x08 0x09 0x0a 0x0b 0x0c \n");
    const auto code = unlockCode(std::span<const uint8_t, 12>(challenge.data() + 1, 12),
                                 std::span<const uint8_t, 10>(t.d.serialTail()));
    EXPECT_EQ(hex(std::span(t.rec.written.back()).subspan(11, 33)), "15 " + hex(code));
    t.reply({0x95, 1});
    EXPECT_EQ(hex(std::span(t.rec.written.back()).subspan(11, 3)), "16 01 FF");
    t.reply({0x96, 1});
    EXPECT_EQ(t.d.step(), kStepUpdateStart);
    EXPECT_EQ(hex(std::span(t.rec.written.back()).subspan(11, 5)), "10 64 00 00 00");
}

TEST(UnlockCode, UsesTheWholeTableWithoutOverrun) {
    // The largest step values (16) reach index 16 + 31 * 16 = 512, the last entry.
    const std::array<uint8_t, 12> challenge = {15, 0, 0, 0, 15, 0, 0, 0, 15, 0, 0, 0};
    const std::array<uint8_t, 10> tail = {15, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const auto code = unlockCode(challenge, tail);
    EXPECT_EQ(code[31], static_cast<uint8_t>(unlockTable(512) * 2));
}

TEST(Setters, ReplaceTheTransferStepUntilTheNextBlockReply) {
    Transfer t;
    t.d.mfiBeginUpdate(std::vector<uint8_t>(200, 1), 0);
    t.reply({0x90, 1});
    t.reply({0x91, 1});
    t.d.mfiSetMix(1);
    EXPECT_EQ(t.d.step(), kStepSetMix);
    t.reply(blockReply(1, 0, 44));
    EXPECT_EQ(t.d.step(), kStepUpdateData);
    EXPECT_EQ(t.d.bytesAcknowledged(), 44);
}

}  // namespace
}  // namespace qv7
