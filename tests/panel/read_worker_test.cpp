// The read worker on its own: every report once and in order, orderly stops, one worker across restarts.
#include "panel/read_worker.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>

#include "device/mfi.h"
#include "sim/sim_transport.h"

namespace qv7::panel {
namespace {

// What the window thread would receive: reports handed over under a lock, as a queued call does.
struct Inbox {
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::vector<uint8_t>> reports;
    int gone = 0;
    std::vector<std::string> lines;  // the read loop's trace
    void putLine(std::string_view line) {
        std::lock_guard l(m);
        lines.emplace_back(line);
    }
    void put(std::vector<uint8_t> r) {
        std::lock_guard l(m);
        reports.push_back(std::move(r));
        cv.notify_all();
    }
    void markGone() {
        std::lock_guard l(m);
        ++gone;
        cv.notify_all();
    }
    template <typename P>
    bool wait(P pred) {
        std::unique_lock l(m);
        return cv.wait_for(l, std::chrono::seconds(10), pred);
    }
};

// The detect sequence makes the simulator answer with one synchronisation packet.
void poke(sim::SimTransport& sim) {
    mfi driver;
    driver.setDiagnostics([](std::string_view) {});
    driver.mfiStart();
    sim.write(driver.pendingPacket());
}

TEST(ReadWorker, DeliversEachReportOnceAndStopsWhenAsked) {
    sim::SimTransport sim;
    Inbox inbox;
    ReadWorker worker;
    worker.start(
        sim, [&](std::vector<uint8_t> r) { inbox.put(std::move(r)); }, [&] { inbox.markGone(); });
    EXPECT_EQ(ReadWorker::alive(), 1);
    for (int i = 0; i < 3; ++i) poke(sim);
    ASSERT_TRUE(inbox.wait([&] { return inbox.reports.size() >= 3; }));
    worker.stop();
    EXPECT_EQ(ReadWorker::alive(), 0);
    EXPECT_EQ(inbox.reports.size(), 3u);
    // Three synchronisation packets, whole and in the order the device numbered them.
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(inbox.reports[i].size(), sim::TolkaSim::kReportLength);
        EXPECT_EQ(inbox.reports[i][0], 0xFF);
        EXPECT_EQ(inbox.reports[i][4], 0x80);
        if (i > 0) {
            EXPECT_EQ(inbox.reports[i][5], inbox.reports[i - 1][5] + 1);
        }
    }
    EXPECT_EQ(inbox.gone, 0) << "a requested stop is not a removal";
}

TEST(ReadWorker, RestartKeepsOneWorkerAndUnplugReportsGoneOnce) {
    sim::SimTransport sim;
    Inbox inbox;
    ReadWorker worker;
    for (int i = 0; i < 3; ++i) {
        worker.start(
            sim, [&](std::vector<uint8_t> r) { inbox.put(std::move(r)); }, [&] { inbox.markGone(); });
        EXPECT_EQ(ReadWorker::alive(), 1);
    }
    poke(sim);
    ASSERT_TRUE(inbox.wait([&] { return inbox.reports.size() == 1; }));
    sim.unplug();
    ASSERT_TRUE(inbox.wait([&] { return inbox.gone == 1; }));
    EXPECT_FALSE(worker.running());
    worker.stop();
    EXPECT_EQ(ReadWorker::alive(), 0);
    EXPECT_EQ(inbox.gone, 1);
}

// A device that went is named in the trace the way the hidraw reader has always named it; a stop that was
// asked for is not a device that went.
TEST(ReadWorker, TracesADeviceThatWentOnceAndAStopNever) {
    for (const bool unplug : {true, false}) {
        SCOPED_TRACE(unplug ? "unplugged" : "stopped");
        sim::SimTransport sim;
        Inbox inbox;
        ReadWorker worker([&](std::string_view line) { inbox.putLine(line); });
        worker.start(
            sim, [&](std::vector<uint8_t> r) { inbox.put(std::move(r)); }, [&] { inbox.markGone(); });
        poke(sim);
        ASSERT_TRUE(inbox.wait([&] { return inbox.reports.size() == 1; }));
        if (unplug) {
            sim.unplug();
            ASSERT_TRUE(inbox.wait([&] { return inbox.gone == 1; }));
        }
        worker.stop();
        const std::vector<std::string> expected =
            unplug ? std::vector<std::string>{"device disconect\n"} : std::vector<std::string>{};
        EXPECT_EQ(inbox.lines, expected);
    }
}

}  // namespace
}  // namespace qv7::panel
