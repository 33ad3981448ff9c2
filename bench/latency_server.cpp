// The latency-emulating device: each answer leaves at an absolute deadline, so a late wake-up never adds
// up over thousands of round trips the way a relative sleep after the work would.
#include "bench/latency_server.h"

#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "device/socket_transport.h"

namespace qv7::bench {

namespace {

constexpr int64_t kNsPerSecond = 1000000000;

int64_t monotonicNs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * kNsPerSecond + ts.tv_nsec;
}

void sleepUntil(int64_t deadlineNs) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(deadlineNs / kNsPerSecond);
    ts.tv_nsec = static_cast<long>(deadlineNs % kNsPerSecond);
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

}  // namespace

LatencyServer::LatencyServer(std::string path, int64_t latencyUs, Answer answer, Sleep sleep)
    : path_(std::move(path)), latencyNs_(latencyUs * 1000), sleep_(sleep), answer_(std::move(answer)) {}

LatencyServer::~LatencyServer() { stop(); }

bool LatencyServer::listen(std::string& error) {
    listenFd_ = listenForHost(path_, error);
    if (listenFd_ < 0) return false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void LatencyServer::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        ::unlink(path_.c_str());
    }
}

void LatencyServer::startPhase() {
    skipGap_ = true;
    hostMaxNs_ = 0;
}

RoundTripTimes LatencyServer::times() const {
    return {roundTrips_.load(), deviceNs_.load(), hostNs_.load(), hostMaxNs_.load()};
}

void LatencyServer::run() {
    // The default 50 us of timer slack would be added to nearly every emulated latency.
    if (sleep_ == Sleep::Deadline) ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    while (!stop_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        serve(fd);
        ::close(fd);
    }
}

void LatencyServer::serve(int fd) {
    uint8_t buf[256];
    int64_t lastSentNs = -1;  // none yet on this link: the first round trip has no host gap
    while (!stop_) {
        pollfd p{fd, POLLIN, 0};
        const int n = ::poll(&p, 1, 100);
        if (n < 0 && errno != EINTR) return;
        if (n <= 0) continue;
        const ssize_t got = ::recv(fd, buf, sizeof buf, 0);
        const int64_t receivedNs = monotonicNs();
        if (got <= 0) return;  // the host closed the link
        const auto answers = answer_(std::span<const uint8_t>(buf, static_cast<std::size_t>(got)));
        if (answers.empty()) continue;
        if (latencyNs_ > 0 && sleep_ == Sleep::Deadline) sleepUntil(receivedNs + latencyNs_);
        if (latencyNs_ > 0 && sleep_ == Sleep::Relative)
            std::this_thread::sleep_for(std::chrono::nanoseconds(latencyNs_));
        // Counted before the answer goes: a host that has its answer finds the round trip counted.
        const int64_t sentNs = monotonicNs();
        deviceNs_ += sentNs - receivedNs;
        const bool phaseStarts = skipGap_.exchange(false);  // taken even by a link's first round trip
        if (lastSentNs >= 0 && !phaseStarts) {
            const int64_t gap = receivedNs - lastSentNs;
            hostNs_ += gap;
            if (gap > hostMaxNs_) hostMaxNs_ = gap;
        }
        lastSentNs = sentNs;
        ++roundTrips_;
        for (const auto& a : answers) ::send(fd, a.data(), a.size(), MSG_NOSIGNAL);
    }
}

}  // namespace qv7::bench
