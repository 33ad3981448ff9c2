// The step timer on a test clock: asleep while the driver has nothing to repeat, and an unanswered step
// still sent again every 1000 ms.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <numeric>

#include "conversation.h"

namespace qv7::test {
namespace {

// A device that stops listening when told to; the clock's time of each write it then misses.
struct DeafDevice {
    bool deaf = false;
    const Clock* clock = nullptr;
    std::vector<int64_t> missed;

    static sim::LinkFaults faults(const std::shared_ptr<DeafDevice>& device) {
        sim::LinkFaults f;
        f.tap = [device](bool toDevice, std::vector<uint8_t> report) -> std::vector<sim::Delivery> {
            if (!toDevice || !device->deaf) return {{std::move(report), 0}};
            device->missed.push_back(device->clock->nowMs());
            return {};
        };
        return f;
    }
};

// Runs the link for `ms` of the test clock with nothing to wait for.
void idleFor(Conversation& conv, int64_t ms) {
    ASSERT_EQ(conv.runner.runUntil([] { return false; }, ms), LinkRunner::Outcome::TimedOut);
}

TEST(StepTimer, AnIdleDriverArmsNoTimer) {
    Conversation conv;
    ASSERT_TRUE(conv.startUp());
    const long ticks = conv.runner.ticks();
    idleFor(conv, 10000);
    EXPECT_EQ(conv.runner.ticks(), ticks);

    // A report that asks for nothing in return (a battery reading) leaves it asleep.
    conv.device.sendBattery();
    idleFor(conv, 10000);
    EXPECT_EQ(conv.runner.ticks(), ticks);
}

TEST(StepTimer, AnUnansweredStepIsRepeatedEverySecondAfterTheTimerSlept) {
    const struct {
        const char* what;
        std::function<void(mfi&)> send;
    } cases[] = {
        {"setting", [](mfi& d) { d.mfiSetCharge(1); }},
        {"parameter set",
         [](mfi& d) {
             ParameterSet s = d.deviceParameters();
             s.set(findField("wet")->byte, 16);
             d.mfiSetPara(s);
         }},
        {"firmware write",
         [](mfi& d) {
             std::vector<uint8_t> image(440);
             std::iota(image.begin(), image.end(), uint8_t{1});
             ASSERT_TRUE(d.mfiBeginUpdate(image, ImageWordSum(image)));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto device = std::make_shared<DeafDevice>();
        Conversation conv(sim::defaultConfig(), DeafDevice::faults(device));
        device->clock = &conv.clock;
        ASSERT_TRUE(conv.startUp());
        idleFor(conv, 2500);  // asleep, and off the phase the start-up left behind

        device->deaf = true;
        const int64_t sent = conv.clock.nowMs();
        c.send(conv.d);
        idleFor(conv, 5500);
        std::vector<int64_t> expected;
        for (int64_t t = sent; t <= sent + 5000; t += mfi::kStepTimerMs) expected.push_back(t);
        EXPECT_EQ(device->missed, expected);

        // Heard again: the step completes and the timer sleeps once more.
        device->deaf = false;
        ASSERT_TRUE(conv.idle(60000));
        const long ticks = conv.runner.ticks();
        idleFor(conv, 10000);
        EXPECT_EQ(conv.runner.ticks(), ticks);
    }
}

// Every answer of the device arrives exactly when the step timer falls due for the request it answers. The answer
// was there first, as a window's queue puts a posted message before WM_TIMER: it is handled before the tick, so
// no request is sent twice (before: the tick resent the acknowledged request with the same sequence number).
TEST(StepTimer, AnAnswerArrivingWithTheTickIsHandledBeforeIt) {
    const struct {
        const char* what;
        std::function<void(mfi&)> send;
        std::function<bool(const mfi&, const EventLog&)> done;
    } cases[] = {
        {"setting", [](mfi& d) { d.mfiSetCharge(1); }, [](const mfi& d, const EventLog&) { return d.mfiIdle(); }},
        {"parameter set",
         [](mfi& d) {
             ParameterSet s = d.deviceParameters();
             s.set(findField("wet")->byte, 16);
             d.mfiSetPara(s);
         },
         [](const mfi& d, const EventLog&) { return d.mfiIdle(); }},
        {"firmware write",
         [](mfi& d) {
             std::vector<uint8_t> image(440);
             std::iota(image.begin(), image.end(), uint8_t{1});
             ASSERT_TRUE(d.mfiBeginUpdate(image, ImageWordSum(image)));
         },
         [](const mfi&, const EventLog& log) {
             return std::find(log.events.begin(), log.events.end(), Event(8, 5)) != log.events.end();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bool answerWithTheTick = false;
        std::map<std::vector<uint8_t>, int> requests;  // each data packet the driver sent, how often
        sim::LinkFaults faults;
        faults.tap = [&](bool toDevice, std::vector<uint8_t> r) -> std::vector<sim::Delivery> {
            if (!answerWithTheTick) return {{std::move(r), 0}};
            if (!toDevice) return {{std::move(r), mfi::kStepTimerMs}};
            const std::size_t n = link::lengthField(r);
            if (r[link::kOffSession] == link::kSessionData && n > link::kDataOverhead && n <= r.size())
                ++requests[std::vector<uint8_t>(r.begin(), r.begin() + static_cast<std::ptrdiff_t>(n))];
            return {{std::move(r), 0}};
        };
        Conversation conv(sim::defaultConfig(), faults);
        ASSERT_TRUE(conv.startUp());
        idleFor(conv, 2500);

        answerWithTheTick = true;
        c.send(conv.d);
        ASSERT_EQ(conv.runner.runUntil([&] { return c.done(conv.d, conv.log); }, 60000), LinkRunner::Outcome::Done);
        EXPECT_FALSE(requests.empty());
        for (const auto& [packet, times] : requests) EXPECT_EQ(times, 1) << hex(packet);
    }
}

}  // namespace
}  // namespace qv7::test
