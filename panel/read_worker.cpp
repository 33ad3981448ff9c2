// The read worker's thread around the shared read loop, and its orderly stop.
#include "panel/read_worker.h"

#include "device/read_loop.h"

namespace qv7::panel {

std::atomic<int> ReadWorker::alive_{0};

void ReadWorker::start(HidTransport& transport, ReportHandler onReport, std::function<void()> onGone) {
    stop();
    transport_ = &transport;
    stopping_.store(false);
    ended_.store(false);
    alive_.fetch_add(1);
    thread_ = std::thread([this, &transport, onReport = std::move(onReport), onGone = std::move(onGone)] {
        const ReadLoopEnd end = readReports(
            transport, [this] { return !stopping_.load(); }, onReport, trace_);
        // Ended before the notice goes out: whoever acts on it sees a reader that no longer runs.
        ended_.store(true);
        if (end == ReadLoopEnd::Gone && !stopping_.load() && onGone) onGone();
        alive_.fetch_sub(1);
    });
}

void ReadWorker::stop() {
    if (!thread_.joinable()) return;
    stopping_.store(true);
    transport_->interrupt();
    thread_.join();
    transport_ = nullptr;
}

}  // namespace qv7::panel
