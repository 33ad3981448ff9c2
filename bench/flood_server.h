// A hostile Tolka on a local SOCK_SEQPACKET socket: it answers like the simulator and, on request,
// floods the host with reports (junk, valid battery replies, or parameter replies the driver rejects).
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "sim/tolka_sim.h"

namespace qv7::bench {

enum class FloodKind {
    Junk,           // random bytes: no packet at all
    Battery,        // valid battery replies, a new voltage each time
    BadParameters,  // valid parameter replies with a value out of range: each one is a driver error message
};

// "junk", "battery", "bad-params".
std::optional<FloodKind> floodKindNamed(const std::string& name);

// Makes flood reports of one kind. Each report differs from the one before, so none is taken for a
// repetition and dropped early by the driver.
class FloodReports {
public:
    explicit FloodReports(uint32_t seed = 1) : rng_(seed) {}
    sim::Report next(FloodKind kind);
    // A valid battery reply with this voltage (hundredths of a volt).
    sim::Report battery(unsigned centivolts);

private:
    sim::Report data(std::span<const uint8_t> application);
    uint8_t seq_ = 0;
    unsigned count_ = 0;
    std::mt19937 rng_;
};

class FloodServer {
public:
    explicit FloodServer(std::string path, sim::SimConfig config = sim::defaultConfig());
    ~FloodServer();
    FloodServer(const FloodServer&) = delete;
    FloodServer& operator=(const FloodServer&) = delete;

    // Listens on the path and serves clients one after another on a thread of its own.
    bool listen(std::string& error);
    void stop();

    // Queues `count` reports that go out, after anything queued before, as fast as the client reads them.
    void burst(FloodKind kind, long count);
    // Queues one valid battery reply: a marker a test can wait for behind a burst.
    void battery(unsigned centivolts);
    // From now on, `rate` reports a second while a client is connected (0 ends it). What the socket
    // cannot take at once is not sent and is counted as refused, as a full HID input buffer drops it.
    void pace(FloodKind kind, double rate);

    // A deaf device stops reading what the host writes: the host's writes then wait and time out.
    void deaf(bool on) { deaf_.store(on); }

    bool connected() const { return connected_.load(); }
    long sent() const { return sent_.load(); }
    long refused() const { return refused_.load(); }
    // Every queued report is sent and the client has read all of it.
    bool drained() const;

private:
    struct Job {
        std::optional<FloodKind> kind;  // none: one battery marker
        long count;
        unsigned centivolts;
    };
    void run();
    void serve(int fd);
    bool sendQueued(int fd);  // false when the socket is full
    void sendPaced(int fd, double elapsedS);

    std::string path_;
    sim::TolkaSim device_;  // the conversation; used only by the server thread
    int listenFd_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> connected_{false};
    std::atomic<bool> deaf_{false};
    std::atomic<int> clientFd_{-1};
    std::atomic<long> sent_{0};
    std::atomic<long> refused_{0};

    mutable std::mutex mutex_;  // guards what the test thread hands to the server thread
    std::deque<Job> jobs_;
    FloodKind paceKind_ = FloodKind::Junk;
    double paceRate_ = 0;
    // Server thread only.
    FloodReports reports_;
    long paced_ = 0;
    double pacedRate_ = 0;
};

}  // namespace qv7::bench
