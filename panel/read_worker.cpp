// The read worker's loop and its orderly stop.
#include "panel/read_worker.h"

namespace qv7::panel {

std::atomic<int> ReadWorker::alive_{0};

void ReadWorker::start(HidTransport& transport, ReportHandler onReport, std::function<void()> onGone) {
    stop();
    transport_ = &transport;
    stopping_.store(false);
    ended_.store(false);
    alive_.fetch_add(1);
    thread_ = std::thread([this, &transport, onReport = std::move(onReport), onGone = std::move(onGone)] {
        std::vector<uint8_t> report;
        while (!stopping_.load()) {
            const ReadStatus status = transport.read(report, -1);
            if (status == ReadStatus::Report) {
                onReport(std::move(report));
                report = {};
            } else if (status == ReadStatus::Gone) {
                // Ended before the notice goes out: whoever acts on it sees a reader that no longer runs.
                ended_.store(true);
                if (!stopping_.load() && onGone) onGone();
                break;
            }
            // Interrupted or a spurious time-out: the flag decides whether to go on.
        }
        ended_.store(true);
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
