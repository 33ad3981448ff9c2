// The read worker: a thread that blocks on the transport and hands each report on; it never touches widgets.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "device/hid_transport.h"

namespace qv7::panel {

class ReadWorker {
public:
    using ReportHandler = std::function<void(std::vector<uint8_t>)>;  // runs on the worker: must only queue
    ReadWorker() = default;
    ReadWorker(const ReadWorker&) = delete;
    ReadWorker& operator=(const ReadWorker&) = delete;
    ~ReadWorker() { stop(); }

    // Starts reading `transport` (which must outlive stop()). `onGone` runs on the worker once, when
    // the device went away without being asked to stop. A worker still running is stopped first.
    void start(HidTransport& transport, ReportHandler onReport, std::function<void()> onGone);
    // Asks the loop to end, wakes a blocked read and joins the thread.
    void stop();
    // True while the loop goes on (a thread that has left its loop but is not joined yet is not running).
    bool running() const { return thread_.joinable() && !ended_.load(); }

    // Worker threads alive in the process, for tests that must see exactly one.
    static int alive() { return alive_.load(); }

private:
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> ended_{false};
    HidTransport* transport_ = nullptr;
    static std::atomic<int> alive_;
};

}  // namespace qv7::panel
