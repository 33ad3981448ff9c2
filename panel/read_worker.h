// The read worker: a thread that runs the device's read loop and hands each report on; it never touches widgets.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include "common/line_writer.h"
#include "device/hid_transport.h"

namespace qv7::panel {

class ReadWorker {
public:
    using ReportHandler = std::function<void(std::vector<uint8_t>)>;  // runs on the worker: must only queue
    // `trace` takes the read loop's lines (a device that went says so); it runs on the worker: must only queue.
    explicit ReadWorker(LineWriter trace = {}) : trace_(std::move(trace)) {}
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
    const LineWriter trace_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> ended_{false};
    HidTransport* transport_ = nullptr;
    static std::atomic<int> alive_;
};

}  // namespace qv7::panel
