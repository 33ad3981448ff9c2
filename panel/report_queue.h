// Reports on their way from the read worker to the window thread: a bounded queue that drops the oldest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace qv7::panel {

class ReportQueue {
public:
    using Report = std::vector<uint8_t>;
    // A second's worth of the busiest conversation (a firmware transfer) many times over, and still
    // only tens of kilobytes when a broken device fills it.
    static constexpr std::size_t kCapacity = 512;
    // Reports the window takes per turn of its event loop, so input and painting come in between.
    static constexpr std::size_t kBatch = 64;

    struct Counts {
        uint64_t pushed = 0;
        uint64_t taken = 0;
        uint64_t dropped = 0;    // pushed out by newer reports
        uint64_t discarded = 0;  // left behind by clear()
    };

    explicit ReportQueue(std::size_t capacity = kCapacity);

    // Worker side. True when the caller must wake the window side: nothing else is going to take
    // this report. A full queue makes room by dropping its oldest report.
    bool push(Report report);
    // Window side: up to `max` reports, oldest first, into `out`. True when reports remain: the caller
    // comes back for them (no wake-up is sent for reports already waiting).
    bool take(std::vector<Report>& out, std::size_t max = kBatch);
    // Forgets what waits (a retired device's reports).
    void clear();

    Counts counts() const;
    std::size_t size() const;
    std::size_t capacity() const { return slots_.size(); }

private:
    mutable std::mutex mutex_;
    std::vector<Report> slots_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
    bool wakePending_ = false;  // a take() is on its way for what waits
    Counts counts_;
};

}  // namespace qv7::panel
