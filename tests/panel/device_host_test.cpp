// The window's device host between the read worker and the controller: a tick of the step timer that falls
// due while the device's answer waits in the report queue is acted on after that answer.
#include "panel/device_host.h"

#include <gtest/gtest.h>

#include <QTest>

#include <chrono>
#include <map>
#include <memory>
#include <thread>

#include "panel/control_table.h"
#include "panel_test_support.h"

namespace qv7::panel {
namespace {

constexpr int kWaitMs = 20000;  // generous: only a failing test waits this long

// Waits without running the window's event loop, so whatever the worker queues stays queued.
template <typename Condition>
bool waitWithoutEvents(Condition condition) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(DeviceHost, ATickWaitsForTheAnswerQueuedBeforeIt) {
    // Each data packet the panel sends, and how often. The simulated device answers on the writing thread,
    // the window's.
    bool counting = false;
    std::map<std::vector<uint8_t>, int> requests;
    sim::LinkFaults faults;
    faults.tap = [&](bool toDevice, std::vector<uint8_t> r) -> std::vector<sim::Delivery> {
        const std::size_t n = link::lengthField(r);
        if (counting && toDevice && r[link::kOffSession] == link::kSessionData && n > link::kDataOverhead &&
            n <= r.size())
            ++requests[std::vector<uint8_t>(r.begin(), r.begin() + static_cast<std::ptrdiff_t>(n))];
        return {{std::move(r), 0}};
    };
    auto sim = std::make_shared<sim::SimTransport>(sim::defaultConfig(), faults);
    DeviceHost host(std::make_unique<SimProvider>(sim));
    test::FakeTimer timer;
    test::RecordingView view;
    PanelController controller(timer, host, view, [](std::string_view) {});
    host.attach(controller);
    controller.initialise();
    // The start-up conversation, with the timer ticked by hand.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            if (timer.running) controller.onTimer();
            return controller.enabled(kStereoMixCheckId) && !timer.running;
        },
        kWaitMs));

    counting = true;
    const uint64_t pushed = host.reportCounts().pushed;
    controller.onClicked(kStereoMixCheckId, true);  // the device answers at once
    ASSERT_TRUE(timer.running);
    // The answer is in the queue and its wake-up not yet taken when the timer falls due.
    ASSERT_TRUE(waitWithoutEvents([&] { return host.reportCounts().pushed > pushed; }));
    controller.onTimer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return host.reportCounts().taken == host.reportCounts().pushed; }, kWaitMs));
    EXPECT_FALSE(timer.running) << "the answer stopped the timer: the tick that waited for it is void";
    EXPECT_EQ(test::readDevice(*sim, [](sim::TolkaSim& d) { return d.mix(); }), 1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests.begin()->second, 1) << "the answered request was sent again";
}

}  // namespace
}  // namespace qv7::panel
