// Where the window's device comes from (simulator, local socket, later hidraw) and the read worker that serves it.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

#include "device/device_lock.h"
#include "device/hid_transport.h"
#include "panel/panel_controller.h"
#include "panel/read_worker.h"
#include "panel/report_queue.h"

namespace qv7 {
class SocketTransport;
namespace sim {
class SimTransport;
}
}  // namespace qv7

namespace qv7::panel {

// A source of one device. Hot-plug notices arrive on the window thread through the two callbacks.
class DeviceProvider {
public:
    virtual ~DeviceProvider() = default;
    virtual std::string describe() const = 0;
    virtual bool simulated() const { return false; }
    // The device, opened; null when there is none. The provider keeps it until release().
    virtual HidTransport* open() = 0;
    virtual void release() {}
    // Whether the device can still be reached (the removal probe).
    virtual bool present() = 0;
    // True when removals come from a monitor of the system; otherwise the reader's "gone" stands for one.
    virtual bool watchesRemoval() const { return false; }
    // A device the last open() found but was not allowed to open (its path); empty otherwise.
    virtual std::string deniedPath() const { return {}; }

    // The name of the open device's lock (device/device_lock.h); empty for one no other program can reach.
    virtual std::string lockKey() const { return {}; }

    // Where this program takes qv7ctl's commands while it holds the device (its single-instance socket).
    std::string handoverSocket;

    std::function<void()> onArrival;
    std::function<void()> onRemoval;
};

// No device at all (a build without hidraw support, nothing requested).
class NoDeviceProvider : public DeviceProvider {
public:
    std::string describe() const override { return "no device"; }
    HidTransport* open() override { return nullptr; }
    bool present() override { return false; }
};

// The in-process simulated Tolka; unplug()/replug() on it drive removal and arrival.
class SimProvider : public QObject, public DeviceProvider {
public:
    explicit SimProvider(std::shared_ptr<sim::SimTransport> sim);
    ~SimProvider() override;
    std::string describe() const override { return "simulated Tolka"; }
    bool simulated() const override { return true; }
    HidTransport* open() override;
    bool present() override;
    sim::SimTransport& transport() { return *sim_; }

private:
    std::shared_ptr<sim::SimTransport> sim_;
    int plugListener_ = 0;
    bool wasPresent_ = true;
};

// A device on a local SOCK_SEQPACKET socket (qv7-sim --listen PATH).
class SocketProvider : public QObject, public DeviceProvider {
public:
    explicit SocketProvider(std::string path);
    ~SocketProvider() override;
    std::string describe() const override { return "unix:" + path_; }
    bool simulated() const override { return true; }
    HidTransport* open() override;
    void release() override;
    bool present() override;
    std::string lockKey() const override;

private:
    std::string path_;
    std::unique_ptr<SocketTransport> transport_;
    QTimer plugWatch_;  // while nothing is connected: a server that comes back re-creates its socket file
    unsigned long lastInode_ = 0;
};

// The window's DeviceLink: one open device and one read worker at a time. Reports wait for the window
// thread in a bounded queue, which it empties a batch per turn of its event loop: a device that floods
// costs dropped reports, never the window's memory or its answers to the user.
class DeviceHost : public QObject, public DeviceLink {
public:
    explicit DeviceHost(std::unique_ptr<DeviceProvider> provider);
    ~DeviceHost() override;

    void attach(PanelController& controller);
    DeviceProvider& provider() { return *provider_; }
    const DeviceProvider& provider() const { return *provider_; }

    HidTransport* open() override;
    bool probe() override { return provider_->present(); }
    std::string deniedPath() const override { return provider_->deniedPath(); }
    void close() override { retire(); }
    bool heldElsewhere() const override { return !waitingFor_.empty(); }
    // A tick waits for the reports queued before it; those are taken a batch per turn like any others.
    void afterArrived(std::function<void()> then) override;

    // Reports read, handed to the controller, dropped in a flood and discarded with a retired device, so far.
    ReportQueue::Counts reportCounts() const { return queue_.counts(); }

private:
    void retire();
    void startReader(HidTransport& transport);
    void wake();
    // One batch to the controller; true when reports remain.
    bool deliver();
    static constexpr int kTurnBudgetMs = 10;
    // Runs the waiting tick once the reports queued before it have left the queue.
    void runTickIfDue();

    std::unique_ptr<DeviceProvider> provider_;
    PanelController* controller_ = nullptr;
    ReadWorker worker_;
    HidTransport* current_ = nullptr;
    ReportQueue queue_;
    unsigned generation_ = 0;  // a retired worker's notice of a gone device is dropped
    // A tick of the step timer waiting for the reports pushed before it (their count); at most one waits, as
    // a window has at most one WM_TIMER of a timer waiting.
    std::function<void()> tick_;
    uint64_t tickAfterPushed_ = 0;
    // The device is the panel's alone while this is held; while another program holds it, its key is watched
    // and the device arrives again when the lock comes free.
    DeviceLock lock_;
    std::string waitingFor_;
    QTimer lockWatch_;
    static constexpr int kLockWatchMs = 250;
};

}  // namespace qv7::panel
