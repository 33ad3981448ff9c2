// Firmware transfers over a link that loses, repeats, delays and lies, against the simulated Tolka:
// every run ends with the image verified by the device or with a clear failure, never in a loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "block_reply.h"
#include "conversation.h"

namespace qv7 {
namespace {

using test::blockReply;

using test::Conversation;
using test::Event;

std::vector<uint8_t> testImage(std::size_t n) {
    std::vector<uint8_t> image(n);
    for (std::size_t i = 0; i < n; ++i) image[i] = static_cast<uint8_t>(i * 7 + i / 256 + 1);
    return image;
}

// The application bytes of the data packet that starts a report, if it is one.
std::optional<std::vector<uint8_t>> applicationOf(const std::vector<uint8_t>& r) {
    if (r.size() < link::kHeaderSize || r[link::kOffSession] != link::kSessionData) return std::nullopt;
    const std::size_t n = link::lengthField(r);
    if (n < link::kDataOverhead + 1 || n > r.size() || !link::isValid(std::span(r).first(n))) return std::nullopt;
    return std::vector<uint8_t>(r.begin() + 11, r.begin() + static_cast<std::ptrdiff_t>(n) - 1);
}

// The same packet header (sequence, acknowledgement) around other application bytes.
std::vector<uint8_t> withApplication(const std::vector<uint8_t>& r, const std::vector<uint8_t>& app) {
    return test::report(*link::buildData(r[link::kOffSeq], r[link::kOffAck], app));
}

// The offset a block request names, or a block reply echoes.
uint32_t offsetIn(const std::vector<uint8_t>& app) {
    const std::size_t at = app[0] == cmd::kReplyUpdateData ? 2 : 1;
    return static_cast<uint32_t>(app[at] | app[at + 1] << 8 | app[at + 2] << 16 | app[at + 3] << 24);
}

struct Outcome {
    bool ended = false;    // the transfer reached an end within the bound
    bool written = false;  // the device holds the image
    bool done = false;     // and the driver says so
    std::vector<std::string> messages;
    int maxProgress = 0;
};

// Writes `image` after start-up and runs until the transfer ends or `boundMs` of test time pass.
Outcome transfer(Conversation& conv, const std::vector<uint8_t>& image, int64_t boundMs) {
    Outcome o;
    if (!conv.startUp(1, 600000)) return o;
    const std::size_t before = conv.log.events.size();
    const std::size_t messagesBefore = conv.log.messages.size();
    conv.d.mfiBeginUpdate(image, ImageWordSum(image));
    auto progressed = [&] {
        for (std::size_t i = before; i < conv.log.events.size(); ++i)
            if (conv.log.events[i] == Event(8, 2)) o.maxProgress = std::max(o.maxProgress, conv.d.progressPercent());
    };
    auto finished = [&] {
        return conv.log.messages.size() != messagesBefore ||
               std::find(conv.log.events.begin() + static_cast<std::ptrdiff_t>(before), conv.log.events.end(),
                         Event(8, 5)) != conv.log.events.end() ||
               conv.d.step() == kStepIdle;
    };
    o.ended = conv.runner.runUntil(finished, boundMs) == LinkRunner::Outcome::Done;
    progressed();
    o.messages.assign(conv.log.messages.begin() + static_cast<std::ptrdiff_t>(messagesBefore), conv.log.messages.end());
    o.done = std::find(conv.log.events.begin() + static_cast<std::ptrdiff_t>(before), conv.log.events.end(),
                       Event(8, 5)) != conv.log.events.end();
    conv.device.withDevice([&](sim::TolkaSim& sim) { o.written = sim.installedImage() == image; });
    return o;
}

sim::LinkFaults mix(const std::string& list, uint32_t seed) {
    sim::LinkFaults f;
    std::string error;
    EXPECT_TRUE(f.toDevice.parse(list, error)) << error;
    f.toHost = f.toDevice;
    f.toDevice.seed = seed;
    f.toHost.seed = seed + 1;
    return f;
}

TEST(FirmwareOverFaults, HeavyMixWritesAndVerifiesEverySeed) {
    const auto image = testImage(4400);
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        Conversation conv(sim::defaultConfig(), mix("drop=0.3,dup=0.2,split=0.2,corrupt=0.1,delay=0.2:300", seed));
        const auto o = transfer(conv, image, 3600000);
        EXPECT_TRUE(o.ended && o.written && o.done) << "seed " << seed << " ended " << o.ended << " done " << o.done;
        EXPECT_LE(o.maxProgress, 100);
    }
}

TEST(FirmwareOverFaults, LightMixWritesTheLargestImageEverySeed) {
    const auto image = testImage(98304);
    for (uint32_t seed = 1; seed <= 5; ++seed) {
        Conversation conv(sim::defaultConfig(), mix("drop=0.02,dup=0.02,delay=0.05:1500", seed));
        const auto o = transfer(conv, image, 3600000);
        EXPECT_TRUE(o.ended && o.written && o.done) << "seed " << seed << " done " << o.done;
        EXPECT_LE(o.maxProgress, 100);
    }
}

// A device that answers each block naming its offset plus one (block 88 answered as 89, as a device that reads
// the reply otherwise than we do might): on a clean link and under the heavy mix every write ends verified
// instead of resending one block for ever.
TEST(FirmwareOverFaults, ADeviceEchoingAnotherOffsetStillFinishes) {
    const struct {
        const char* what;
        std::size_t imageBytes;
        const char* faults;
        uint32_t seeds;
    } cases[] = {
        {"clean link, 200 bytes", 200, nullptr, 1},
        {"clean link, 4,400 bytes", 4400, nullptr, 1},
        {"heavy mix", 4400, "drop=0.3,dup=0.2,split=0.2,corrupt=0.1,delay=0.2:300", 10},
    };
    for (const auto& c : cases) {
        const auto image = testImage(c.imageBytes);
        for (uint32_t seed = 1; seed <= c.seeds; ++seed) {
            SCOPED_TRACE(std::string(c.what) + ", seed " + std::to_string(seed));
            auto config = sim::defaultConfig();
            config.blockEchoShift = 1;
            Conversation conv(config, c.faults ? mix(c.faults, seed) : sim::LinkFaults{});
            const auto o = transfer(conv, image, 3600000);
            EXPECT_TRUE(o.ended && o.written && o.done) << "ended " << o.ended << " written " << o.written;
            EXPECT_TRUE(o.messages.empty());
            EXPECT_LE(o.maxProgress, 100);
            EXPECT_NE(std::find(conv.steps.begin(), conv.steps.end(), "error!!!!!!!!!!!!!!!\n"), conv.steps.end());
        }
    }
}

// One fault, placed on the fourth block of a ten-block image.
TEST(FirmwareOverFaults, SingleFaultsEndVerifiedOrWithAClearFailure) {
    constexpr uint32_t kAt = 3 * cmd::kBlockSize;
    struct Case {
        const char* name;
        // Sees each report once; returns what is delivered. `first` is true the first time block kAt is seen.
        std::function<std::vector<sim::Delivery>(bool toDevice, std::vector<uint8_t>, bool first)> tap;
        bool written;
        const char* message;
    } cases[] = {
        {"late reply",  // slower than the repetition: two requests for the block are in flight
         [](bool toDevice, std::vector<uint8_t> r, bool first) -> std::vector<sim::Delivery> {
             return {{std::move(r), !toDevice && first ? 1500 : 0}};
         },
         true, nullptr},
        {"duplicated request",
         [](bool toDevice, std::vector<uint8_t> r, bool first) -> std::vector<sim::Delivery> {
             if (toDevice && first) return {{r, 0}, {r, 0}};
             return {{std::move(r), 0}};
         },
         true, nullptr},
        {"lost block",
         [](bool toDevice, std::vector<uint8_t> r, bool first) -> std::vector<sim::Delivery> {
             if (toDevice && first) return {};
             return {{std::move(r), 0}};
         },
         true, nullptr},
        {"lost reply",
         [](bool toDevice, std::vector<uint8_t> r, bool first) -> std::vector<sim::Delivery> {
             if (!toDevice && first) return {};
             return {{std::move(r), 0}};
         },
         true, nullptr},
        {"over-acknowledgement",  // the device claims 255 bytes of a 44-byte block
         [](bool toDevice, std::vector<uint8_t> r, bool first) -> std::vector<sim::Delivery> {
             if (!toDevice && first) r = withApplication(r, blockReply(1, kAt, 255));
             return {{std::move(r), 0}};
         },
         false, "Error|写入固件失败：设备确认了255字节，本块只有44字节！"},
        {"status 2 after a gap",  // the device acknowledges a block it never stored, then refuses the next
         [](bool toDevice, std::vector<uint8_t> r, bool first) -> std::vector<sim::Delivery> {
             if (toDevice && first) return {};
             if (!toDevice) {
                 const auto app = applicationOf(r);
                 if (app && (*app)[0] == cmd::kReplyUpdateData && offsetIn(*app) == kAt - cmd::kBlockSize &&
                     (*app)[1] == 1) {
                     auto forged = withApplication(r, blockReply(1, kAt, cmd::kBlockSize));
                     return {{std::move(r), 0}, {std::move(forged), 0}};
                 }
             }
             return {{std::move(r), 0}};
         },
         true, nullptr},
        {"lost answer to the end",  // the end is repeated; the repeat must not be taken for a failure
         [lost = false](bool toDevice, std::vector<uint8_t> r, bool) mutable -> std::vector<sim::Delivery> {
             const auto app = applicationOf(r);
             if (!toDevice && app && (*app)[0] == cmd::kReplyUpdateOver && !lost) {
                 lost = true;
                 return {};
             }
             return {{std::move(r), 0}};
         },
         true, nullptr},
        {"every block twice",  // a replayed stream
         [](bool toDevice, std::vector<uint8_t> r, bool) -> std::vector<sim::Delivery> {
             const auto app = applicationOf(r);
             if (toDevice && app && (*app)[0] == cmd::kUpdateData) return {{r, 0}, {r, 0}};
             return {{std::move(r), 0}};
         },
         true, nullptr},
    };
    const auto image = testImage(10 * cmd::kBlockSize);
    for (const auto& c : cases) {
        sim::LinkFaults faults;
        bool seenRequest = false, seenReply = false;
        long reports = 0;
        faults.tap = [&](bool toDevice, std::vector<uint8_t> r) -> std::vector<sim::Delivery> {
            // A driver and device answering each other at once never let the test clock move: past any
            // sane number of reports the device goes silent, so a loop ends in the time bound.
            if (++reports > 100000) return {};
            const auto app = applicationOf(r);
            const uint8_t code = toDevice ? cmd::kUpdateData : cmd::kReplyUpdateData;
            const bool block = app && app->size() >= 6 && (*app)[0] == code && offsetIn(*app) == kAt;
            bool& seen = toDevice ? seenRequest : seenReply;
            const bool first = block && !seen;
            if (block) seen = true;
            return c.tap(toDevice, std::move(r), first);
        };
        Conversation conv(sim::defaultConfig(), faults);
        const auto o = transfer(conv, image, 120000);
        EXPECT_TRUE(o.ended) << c.name;
        EXPECT_EQ(o.written, c.written) << c.name;
        EXPECT_EQ(o.done, c.written) << c.name;
        EXPECT_LE(o.maxProgress, 100) << c.name;
        EXPECT_EQ(o.messages, c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{}) << c.name;
        EXPECT_EQ(std::count(conv.log.events.begin(), conv.log.events.end(), Event(8, 5)), c.written ? 1 : 0) << c.name;
    }
}

// A setting sent while the answer to the outstanding block is lost: the transfer must not wait for ever.
TEST(FirmwareOverFaults, SettingDuringAWriteWhoseBlockAnswerIsLost) {
    constexpr uint32_t kAt = 3 * cmd::kBlockSize;
    sim::LinkFaults faults;
    bool lost = false;
    faults.tap = [&](bool toDevice, std::vector<uint8_t> r) -> std::vector<sim::Delivery> {
        const auto app = applicationOf(r);
        if (!toDevice && !lost && app && app->size() >= 6 && (*app)[0] == cmd::kReplyUpdateData &&
            offsetIn(*app) == kAt) {
            lost = true;
            return {};
        }
        return {{std::move(r), 0}};
    };
    Conversation conv(sim::defaultConfig(), faults);
    ASSERT_TRUE(conv.startUp());
    const auto image = testImage(10 * cmd::kBlockSize);
    conv.d.mfiBeginUpdate(image, ImageWordSum(image));
    ASSERT_EQ(conv.runner.runUntil([&] { return lost; }, 5000), LinkRunner::Outcome::Done);
    conv.d.mfiSetCharge(1);  // takes the transfer's step; its acknowledgement is all that comes back
    const auto done = [&] {
        return std::find(conv.log.events.begin(), conv.log.events.end(), Event(8, 5)) != conv.log.events.end();
    };
    EXPECT_EQ(conv.runner.runUntil(done, 120000), LinkRunner::Outcome::Done);
    conv.device.withDevice([&](sim::TolkaSim& sim) {
        EXPECT_EQ(sim.charge(), 1);
        EXPECT_EQ(sim.installedImage(), image);
    });
}

}  // namespace
}  // namespace qv7
