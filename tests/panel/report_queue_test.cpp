// The queue between the read worker and the window: bounded whatever the device sends, in order,
// each report once and whole, and one wake-up per stretch of waiting reports.
#include "panel/report_queue.h"

#include <gtest/gtest.h>

#include <thread>

namespace qv7::panel {
namespace {

ReportQueue::Report numbered(uint32_t n) {
    ReportQueue::Report r(64, 0);
    for (std::size_t i = 0; i < 4; ++i) r[i] = static_cast<uint8_t>(n >> (8 * i));
    r[63] = 0xA5;
    return r;
}

uint32_t numberOf(const ReportQueue::Report& r) {
    return uint32_t(r[0]) | uint32_t(r[1]) << 8 | uint32_t(r[2]) << 16 | uint32_t(r[3]) << 24;
}

TEST(ReportQueue, AFloodNobodyTakesKeepsTheNewestUpToTheBoundAndCountsTheRest) {
    struct Case {
        uint32_t pushed;
        std::size_t capacity;
    };
    for (const Case c : {Case{3, 8}, Case{8, 8}, Case{9, 8}, Case{1'000'000, ReportQueue::kCapacity}}) {
        ReportQueue q(c.capacity);
        int wakes = 0;
        for (uint32_t n = 0; n < c.pushed; ++n) {
            wakes += q.push(numbered(n));
            ASSERT_LE(q.size(), c.capacity);
        }
        EXPECT_EQ(wakes, 1) << "one wake-up for a stretch of waiting reports";
        const uint32_t kept = std::min<uint32_t>(c.pushed, static_cast<uint32_t>(c.capacity));
        EXPECT_EQ(q.counts().dropped, c.pushed - kept);

        std::vector<ReportQueue::Report> all, batch;
        bool more = true;
        while (more) {
            more = q.take(batch, 5);
            EXPECT_LE(batch.size(), 5u);
            all.insert(all.end(), batch.begin(), batch.end());
        }
        ASSERT_EQ(all.size(), kept);
        for (uint32_t i = 0; i < kept; ++i) {
            EXPECT_EQ(numberOf(all[i]), c.pushed - kept + i);
            EXPECT_EQ(all[i].size(), 64u);
            EXPECT_EQ(all[i][63], 0xA5);
        }
        const auto counts = q.counts();
        EXPECT_EQ(counts.pushed, c.pushed);
        EXPECT_EQ(counts.taken + counts.dropped, counts.pushed);
    }
}

TEST(ReportQueue, WakesAgainOnlyAfterTheWindowTookEverything) {
    ReportQueue q(16);
    std::vector<ReportQueue::Report> batch;
    EXPECT_TRUE(q.push(numbered(1)));
    EXPECT_FALSE(q.push(numbered(2)));
    EXPECT_TRUE(q.take(batch, 1)) << "one left: the window comes back for it";
    EXPECT_FALSE(q.push(numbered(3))) << "the window is coming back anyway";
    EXPECT_FALSE(q.take(batch, 8));
    EXPECT_EQ(batch.size(), 2u);
    EXPECT_TRUE(q.push(numbered(4)));
    // A retired device's reports are forgotten and counted; a wake-up on its way finds nothing.
    q.clear();
    EXPECT_FALSE(q.take(batch));
    EXPECT_TRUE(batch.empty());
    EXPECT_EQ(q.counts().discarded, 1u);
    EXPECT_EQ(q.counts().dropped, 0u);
    EXPECT_TRUE(q.push(numbered(5)));
}

// Both sides at full speed: every report arrives once, whole and in order unless it was dropped, and
// the counts add up. Run under ThreadSanitizer this is also the race check.
TEST(ReportQueue, WorkerAndWindowAtFullSpeedLoseNothingUncounted) {
    ReportQueue q(64);
    constexpr uint32_t kReports = 200'000;
    std::atomic<int> wakes{0};
    std::thread worker([&] {
        for (uint32_t n = 0; n < kReports; ++n) wakes += q.push(numbered(n));
    });
    std::vector<ReportQueue::Report> batch;
    uint64_t seen = 0;
    int64_t last = -1;
    while (seen + q.counts().dropped < kReports || q.size() > 0) {
        q.take(batch, 16);
        for (const auto& r : batch) {
            ASSERT_GT(int64_t(numberOf(r)), last);
            ASSERT_EQ(r[63], 0xA5);
            last = numberOf(r);
            ++seen;
        }
    }
    worker.join();
    q.take(batch);
    seen += batch.size();
    const auto counts = q.counts();
    EXPECT_EQ(counts.taken, seen);
    EXPECT_EQ(counts.taken + counts.dropped, uint64_t(kReports));
    EXPECT_GE(wakes.load(), 1);
}

}  // namespace
}  // namespace qv7::panel
