// A device on a local SOCK_SEQPACKET socket that answers each report a fixed time after it arrived, the
// way a USB link with a per-report latency would: the simulated Tolka, or a plain echo for the floor.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace qv7::bench {

// Where one round trip's time went, seen from the device's side of the socket.
struct RoundTripTimes {
    long roundTrips = 0;    // reports that were answered
    int64_t deviceNs = 0;   // report received until its answer was sent: the emulated latency and its overshoot
    int64_t hostNs = 0;     // answer sent until the host's next answered report arrived
    int64_t hostMaxNs = 0;  // the longest of those
};

class LatencyServer {
public:
    using Report = std::vector<uint8_t>;
    // Called on the server's thread with each report received; returns the reports to answer with
    // (none: the report is not a round trip, e.g. the host acknowledging the device's data).
    using Answer = std::function<std::vector<Report>(std::span<const uint8_t> report)>;

    // How the latency is waited for: to an absolute deadline from the report's arrival, or (only to show
    // what a naive device model costs) a relative sleep after the answer was worked out, with the
    // thread's default timer slack.
    enum class Sleep { Deadline, Relative };

    LatencyServer(std::string path, int64_t latencyUs, Answer answer, Sleep sleep = Sleep::Deadline);
    ~LatencyServer();
    LatencyServer(const LatencyServer&) = delete;
    LatencyServer& operator=(const LatencyServer&) = delete;

    // Listens on the path and serves clients one after another on a thread of its own.
    bool listen(std::string& error);
    // Ends the thread; after this the answer function is no longer called.
    void stop();

    // A measured phase begins: the host's pause before it is no gap of the link, and the longest gap
    // is counted anew.
    void startPhase();
    // Counters so far; read them while the host waits for nothing, or after stop().
    RoundTripTimes times() const;

private:
    void run();
    void serve(int fd);

    std::string path_;
    int64_t latencyNs_;
    Sleep sleep_;
    Answer answer_;
    int listenFd_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> skipGap_{false};
    std::atomic<long> roundTrips_{0};
    std::atomic<int64_t> deviceNs_{0};
    std::atomic<int64_t> hostNs_{0};
    std::atomic<int64_t> hostMaxNs_{0};
};

}  // namespace qv7::bench
