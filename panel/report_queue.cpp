// The bounded report queue between the read worker and the window.
#include "panel/report_queue.h"

namespace qv7::panel {

ReportQueue::ReportQueue(std::size_t capacity) : slots_(capacity == 0 ? 1 : capacity) {}

bool ReportQueue::push(Report report) {
    std::lock_guard lock(mutex_);
    ++counts_.pushed;
    if (size_ == slots_.size()) {
        // Full: the device sends faster than the window takes. The newest reports carry the device's
        // current state and the answer to the latest request; the driver's repetition recovers the rest.
        slots_[head_] = std::move(report);
        head_ = (head_ + 1) % slots_.size();
        ++counts_.dropped;
    } else {
        slots_[(head_ + size_) % slots_.size()] = std::move(report);
        ++size_;
    }
    if (wakePending_) return false;
    wakePending_ = true;
    return true;
}

bool ReportQueue::take(std::vector<Report>& out, std::size_t max) {
    out.clear();
    std::lock_guard lock(mutex_);
    while (size_ > 0 && out.size() < max) {
        out.push_back(std::move(slots_[head_]));
        slots_[head_] = Report{};  // a taken slot holds no memory
        head_ = (head_ + 1) % slots_.size();
        --size_;
    }
    counts_.taken += out.size();
    wakePending_ = size_ > 0;
    return wakePending_;
}

void ReportQueue::clear() {
    std::lock_guard lock(mutex_);
    counts_.discarded += size_;
    for (; size_ > 0; --size_) {
        slots_[head_] = Report{};
        head_ = (head_ + 1) % slots_.size();
    }
    // A wake-up already on its way stays on its way; it finds nothing and that is fine.
}

ReportQueue::Counts ReportQueue::counts() const {
    std::lock_guard lock(mutex_);
    return counts_;
}

std::size_t ReportQueue::size() const {
    std::lock_guard lock(mutex_);
    return size_;
}

}  // namespace qv7::panel
