// The hostile Tolka: the simulator's conversation on a local socket, plus floods of reports.
#include "bench/flood_server.h"

#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>

#include "device/commands.h"
#include "device/link_packet.h"
#include "device/socket_transport.h"
#include "params/parameter_set.h"

namespace qv7::bench {

std::optional<FloodKind> floodKindNamed(const std::string& name) {
    if (name == "junk") return FloodKind::Junk;
    if (name == "battery") return FloodKind::Battery;
    if (name == "bad-params") return FloodKind::BadParameters;
    return std::nullopt;
}

sim::Report FloodReports::data(std::span<const uint8_t> application) {
    seq_ = link::nextSeq(seq_);
    sim::Report r(sim::TolkaSim::kReportLength, 0);
    if (auto packet = link::buildData(seq_, 0, application))
        std::copy_n(packet->begin(), std::min(packet->size(), r.size()), r.begin());
    return r;
}

sim::Report FloodReports::battery(unsigned centivolts) {
    const uint8_t app[] = {cmd::kReplyBattery, static_cast<uint8_t>(centivolts & 0xFF),
                           static_cast<uint8_t>((centivolts >> 8) & 0xFF)};
    return data(app);
}

sim::Report FloodReports::next(FloodKind kind) {
    ++count_;
    switch (kind) {
    case FloodKind::Junk: {
        sim::Report r(sim::TolkaSim::kReportLength);
        for (auto& b : r) b = static_cast<uint8_t>(rng_());
        return r;
    }
    case FloodKind::Battery:
        return battery(300 + count_ % 200);
    case FloodKind::BadParameters: {
        // A monitor level far beyond its range: the driver rejects the whole reply with a message.
        auto set = sim::defaultConfig().parameters;
        set.monitorVol = 200;
        std::array<uint8_t, 1 + ParameterSet::kSize + 7> app{};  // the reply, the set, the advanced settings
        app[0] = cmd::kReplyPara;
        const auto p = set.bytes();
        std::copy(p.begin(), p.end(), app.begin() + 1);
        return data(app);
    }
    }
    return {};
}

FloodServer::FloodServer(std::string path, sim::SimConfig config)
    : path_(std::move(path)), device_(std::move(config)) {}

FloodServer::~FloodServer() { stop(); }

bool FloodServer::listen(std::string& error) {
    listenFd_ = listenForHost(path_, error);
    if (listenFd_ < 0) return false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void FloodServer::stop() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        ::unlink(path_.c_str());
    }
}

void FloodServer::burst(FloodKind kind, long count) {
    std::lock_guard lock(mutex_);
    jobs_.push_back({kind, count, 0});
}

void FloodServer::battery(unsigned centivolts) {
    std::lock_guard lock(mutex_);
    jobs_.push_back({std::nullopt, 1, centivolts});
}

void FloodServer::pace(FloodKind kind, double rate) {
    std::lock_guard lock(mutex_);
    paceKind_ = kind;
    paceRate_ = rate;
}

bool FloodServer::drained() const {
    {
        std::lock_guard lock(mutex_);
        if (!jobs_.empty()) return false;
    }
    const int fd = clientFd_.load();
    int unread = 0;
    // Bytes sent on a local socket that the peer has not read yet.
    return fd >= 0 && ::ioctl(fd, SIOCOUTQ, &unread) == 0 && unread == 0;
}

void FloodServer::run() {
    while (!stop_.load()) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) continue;
        clientFd_.store(fd);
        connected_.store(true);
        serve(fd);
        connected_.store(false);
        clientFd_.store(-1);
        ::close(fd);
    }
}

bool FloodServer::sendQueued(int fd) {
    for (;;) {
        Job job;
        {
            std::lock_guard lock(mutex_);
            if (jobs_.empty()) return true;
            job = jobs_.front();
        }
        const auto report = job.kind ? reports_.next(*job.kind) : reports_.battery(job.centivolts);
        if (::send(fd, report.data(), report.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0) return false;
        sent_.fetch_add(1);
        std::lock_guard lock(mutex_);
        if (--jobs_.front().count <= 0) jobs_.pop_front();
    }
}

void FloodServer::sendPaced(int fd, double elapsedS) {
    FloodKind kind;
    double rate;
    {
        std::lock_guard lock(mutex_);
        kind = paceKind_;
        rate = paceRate_;
    }
    if (rate <= 0) {
        pacedRate_ = 0;
        return;
    }
    // A new rate counts from now, not from the start of the connection.
    if (rate != pacedRate_) {
        paced_ = static_cast<long>(elapsedS * rate);
        pacedRate_ = rate;
    }
    const long due = static_cast<long>(elapsedS * rate);
    for (; paced_ < due; ++paced_) {
        const auto report = reports_.next(kind);
        if (::send(fd, report.data(), report.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0) refused_.fetch_add(1);
        else sent_.fetch_add(1);
    }
}

void FloodServer::serve(int fd) {
    const auto start = std::chrono::steady_clock::now();
    pacedRate_ = 0;
    uint8_t buf[256];
    while (!stop_.load()) {
        bool queued;
        double rate;
        {
            std::lock_guard lock(mutex_);
            queued = !jobs_.empty();
            rate = paceRate_;
        }
        pollfd p{fd, static_cast<short>((deaf_.load() ? 0 : POLLIN) | (queued ? POLLOUT : 0)), 0};
        // Paced floods wake every millisecond to keep their rate.
        const int n = ::poll(&p, 1, rate > 0 ? 1 : 50);
        if (n < 0 && errno != EINTR) return;
        if (p.revents & (POLLHUP | POLLERR)) return;
        if (p.revents & POLLIN) {
            const ssize_t got = ::recv(fd, buf, sizeof buf, 0);
            if (got <= 0) return;  // the host closed the link
            sim::Report report(sim::TolkaSim::kReportLength, 0);
            std::memcpy(report.data(), buf, std::min<std::size_t>(static_cast<std::size_t>(got), report.size()));
            // The conversation's answers go out ahead of any flood and are never refused.
            for (const auto& reply : device_.receive(report)) {
                pollfd w{fd, POLLOUT, 0};
                ::poll(&w, 1, 1000);
                ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            }
        }
        if (queued) sendQueued(fd);
        sendPaced(fd, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}

}  // namespace qv7::bench
