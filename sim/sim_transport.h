// The simulated Tolka plugged in through the transport interface, in the same process.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "device/clock.h"
#include "device/hid_transport.h"
#include "sim/fault_injector.h"
#include "sim/tolka_sim.h"

namespace qv7::sim {

// A test's hand on the wire: sees every report after the random faults and decides what is delivered
// (nothing, the report, a changed report, copies, later). `toDevice` tells the direction.
using LinkTap = std::function<std::vector<Delivery>(bool toDevice, std::vector<uint8_t> report)>;

struct LinkFaults {
    FaultConfig toDevice;
    FaultConfig toHost;
    long unplugAfter = -1;  // the device goes away after sending this many reports; negative: never
    LinkTap tap;
};

class SimTransport : public HidTransport {
public:
    explicit SimTransport(SimConfig config = defaultConfig(), LinkFaults faults = {}, Clock* clock = nullptr);

    std::string describe() const override { return "simulated Tolka"; }
    std::size_t inputReportLength() const override { return TolkaSim::kReportLength; }
    std::size_t outputReportLength() const override { return TolkaSim::kReportLength; }
    bool write(std::span<const uint8_t> data) override;
    ReadStatus read(std::vector<uint8_t>& report, int timeoutMs) override;
    void interrupt() override;

    // Hot-plug: a gone device refuses writes and its reads return Gone; replug brings a fresh link.
    void unplug();
    void replug();
    bool present() const;
    // Listeners are told of every unplug() and replug() with the device's presence after it, on the
    // caller's thread. Removing one waits for a call in progress to return.
    int addPlugListener(std::function<void(bool present)> listener);
    void removePlugListener(int id);
    void sendBattery();

    // Runs f with the simulated device, under the transport's lock.
    void withDevice(const std::function<void(TolkaSim&)>& f);
    long reportsSent() const;

private:
    void enqueueLocked(std::vector<Report> reports);
    std::vector<Delivery> tapped(bool toDevice, std::vector<Delivery> deliveries) const;
    void plugged(bool present);

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    TolkaSim device_;
    FaultInjector toDevice_;
    FaultInjector toHost_;
    long unplugAfter_;
    LinkTap tap_;
    SteadyClock steady_;
    Clock& clock_;
    struct Pending {
        std::vector<uint8_t> bytes;
        int64_t due;
    };
    std::deque<Pending> queue_;
    bool present_ = true;
    bool interrupted_ = false;
    long sent_ = 0;
    std::mutex listenerMutex_;  // held while the listener runs; never together with mutex_
    std::map<int, std::function<void(bool)>> plugListeners_;
    int nextListener_ = 0;
};

}  // namespace qv7::sim
