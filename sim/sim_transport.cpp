// In-process transport to the simulated Tolka. The device answers on the writer's thread;
// its reports wait in a queue until a reader takes them, in order, each once.
#include "sim/sim_transport.h"

#include <algorithm>
#include <thread>

namespace qv7::sim {

SimTransport::SimTransport(SimConfig config, LinkFaults faults, Clock* clock)
    : device_(std::move(config)), toDevice_(faults.toDevice), toHost_(faults.toHost), unplugAfter_(faults.unplugAfter),
      tap_(std::move(faults.tap)), clock_(clock ? *clock : static_cast<Clock&>(steady_)) {}

std::vector<Delivery> SimTransport::tapped(bool toDevice, std::vector<Delivery> deliveries) const {
    if (!tap_) return deliveries;
    std::vector<Delivery> out;
    for (auto& d : deliveries)
        for (auto& t : tap_(toDevice, std::move(d.bytes))) out.push_back({std::move(t.bytes), d.delayMs + t.delayMs});
    return out;
}

void SimTransport::enqueueLocked(std::vector<Report> reports) {
    const int64_t now = clock_.nowMs();
    for (auto& r : reports) {
        if (!present_) return;
        for (auto& d : tapped(false, toHost_.apply(std::move(r)))) {
            // A delayed report holds back those behind it: USB keeps order.
            const int64_t due = std::max(now + d.delayMs, queue_.empty() ? now : queue_.back().due);
            queue_.push_back({std::move(d.bytes), due});
        }
        ++sent_;
        if (unplugAfter_ >= 0 && sent_ >= unplugAfter_) present_ = false;
    }
    cv_.notify_all();
}

bool SimTransport::write(std::span<const uint8_t> data) {
    if (data.size() > outputReportLength()) return false;
    std::lock_guard lock(mutex_);
    if (!present_) return false;
    std::vector<uint8_t> report(outputReportLength(), 0);
    std::copy(data.begin(), data.end(), report.begin());
    for (auto& d : tapped(true, toDevice_.apply(std::move(report)))) {
        d.bytes.resize(outputReportLength(), 0);  // a HID output report always has its full length
        enqueueLocked(device_.receive(d.bytes));
    }
    return true;
}

ReadStatus SimTransport::read(std::vector<uint8_t>& report, int timeoutMs) {
    std::unique_lock lock(mutex_);
    const int64_t start = clock_.nowMs();
    for (;;) {
        if (interrupted_) {
            interrupted_ = false;
            return ReadStatus::Interrupted;
        }
        if (!present_) {
            queue_.clear();
            return ReadStatus::Gone;
        }
        const int64_t now = clock_.nowMs();
        if (!queue_.empty() && queue_.front().due <= now) {
            report = std::move(queue_.front().bytes);
            queue_.pop_front();
            return ReadStatus::Report;
        }
        if (timeoutMs >= 0 && now - start >= timeoutMs) return ReadStatus::Timeout;
        if (clock_.manual()) return ReadStatus::Timeout;  // a test clock never moves while we wait
        // Every change a reader waits for (a report, an interrupt, an unplug) notifies: with no time-out
        // and nothing queued there is nothing to look at until then.
        int64_t wait = timeoutMs < 0 ? -1 : start + timeoutMs - now;
        if (!queue_.empty()) wait = wait < 0 ? queue_.front().due - now : std::min(wait, queue_.front().due - now);
        if (wait < 0) cv_.wait(lock);
        else cv_.wait_for(lock, std::chrono::milliseconds(std::max<int64_t>(wait, 1)));
    }
}

void SimTransport::interrupt() {
    std::lock_guard lock(mutex_);
    interrupted_ = true;
    cv_.notify_all();
}

void SimTransport::unplug() {
    {
        std::lock_guard lock(mutex_);
        present_ = false;
        cv_.notify_all();
    }
    plugged(false);
}

void SimTransport::replug() {
    {
        std::lock_guard lock(mutex_);
        present_ = true;
        queue_.clear();
        sent_ = 0;
        unplugAfter_ = -1;
    }
    plugged(true);
}

int SimTransport::addPlugListener(std::function<void(bool)> listener) {
    std::lock_guard lock(listenerMutex_);
    plugListeners_.emplace(++nextListener_, std::move(listener));
    return nextListener_;
}

void SimTransport::removePlugListener(int id) {
    std::lock_guard lock(listenerMutex_);
    plugListeners_.erase(id);
}

void SimTransport::plugged(bool present) {
    std::lock_guard lock(listenerMutex_);
    for (const auto& [id, listener] : plugListeners_) listener(present);
}

bool SimTransport::present() const {
    std::lock_guard lock(mutex_);
    return present_;
}

void SimTransport::sendBattery() {
    std::lock_guard lock(mutex_);
    if (present_) enqueueLocked(device_.batteryReport());
}

void SimTransport::withDevice(const std::function<void(TolkaSim&)>& f) {
    std::lock_guard lock(mutex_);
    f(device_);
}

long SimTransport::reportsSent() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

}  // namespace qv7::sim
