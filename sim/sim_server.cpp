// Local-socket server of the simulated Tolka.
#include "sim/sim_server.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "device/socket_transport.h"

namespace qv7::sim {

namespace {

constexpr std::size_t kReportLength = 64;

void logReport(const char* dir, std::span<const uint8_t> r) {
    std::fprintf(stderr, "%s", dir);
    std::size_t n = r.size();
    while (n > 0 && r[n - 1] == 0) --n;  // padding says nothing
    for (std::size_t i = 0; i < n; ++i) std::fprintf(stderr, " %02X", r[i]);
    std::fprintf(stderr, "\n");
}

// A Tolka has one conversation: a host that comes while another is served is told so and hung up on, rather than
// left waiting in the backlog for answers that would come only after the first has gone.
void turnAway(int lfd) {
    const int fd = ::accept4(lfd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    const std::string reply = std::string(kBusyPrefix) + "the simulated Tolka is serving another host";
    ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    // Closed with the host's first reports still unread, the socket would hand the host a reset ahead of the reply
    // (the kernel reports a pending error before queued datagrams). Stop taking more, drop what came, then close.
    ::shutdown(fd, SHUT_RD);
    uint8_t drop[256];
    while (::recv(fd, drop, sizeof drop, MSG_DONTWAIT) > 0) {
    }
    ::close(fd);
    std::fprintf(stderr, "qv7-sim: turned a second host away while serving one\n");
}

// Returns false when the device was unplugged during this client.
bool serveClient(int fd, int lfd, ReportResponder& device, const ServerOptions& o, FaultInjector& in,
                 FaultInjector& out, long& sent, const std::atomic<bool>& stop) {
    uint8_t buf[256];
    while (!stop) {
        pollfd p[2]{{fd, POLLIN, 0}, {lfd, POLLIN, 0}};
        const int n = ::poll(p, 2, 200);
        if (n < 0 && errno != EINTR) return true;
        if (n <= 0) continue;
        // A host that has hung up is no longer served: the next one waits for the loop above to take it (when the
        // last command's host closed and the next one's connected, both show in one poll).
        if ((p[1].revents & POLLIN) && !(p[0].revents & (POLLHUP | POLLERR))) turnAway(lfd);
        if (!(p[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        const ssize_t got = ::recv(fd, buf, sizeof buf, 0);
        if (got <= 0) return true;  // the host closed the link
        std::vector<uint8_t> report(kReportLength, 0);
        std::memcpy(report.data(), buf, std::min<std::size_t>(static_cast<std::size_t>(got), report.size()));
        for (auto& d : in.apply(std::move(report))) {
            d.bytes.resize(kReportLength, 0);
            if (o.verbose) logReport("<-", d.bytes);
            const int updatesBefore = device.updatesCompleted();
            auto replies = device.receive(d.bytes);
            if (device.updatesCompleted() != updatesBefore)
                std::fprintf(stderr, "qv7-sim: firmware image of %zu bytes written and verified\n",
                             device.installedImageSize());
            for (auto& reply : replies) {
                for (auto& delivery : out.apply(std::move(reply))) {
                    if (delivery.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delivery.delayMs));
                    if (o.verbose) logReport("->", delivery.bytes);
                    ::send(fd, delivery.bytes.data(), delivery.bytes.size(), MSG_NOSIGNAL);
                }
                if (o.unplugAfter >= 0 && ++sent >= o.unplugAfter) return false;
            }
        }
    }
    return true;
}

}  // namespace

int serveSocket(ReportResponder& device, const ServerOptions& o, const std::atomic<bool>& stop) {
    std::string error;
    const int lfd = listenForHost(o.path, error);
    if (lfd < 0) {
        std::fprintf(stderr, "qv7-sim: %s\n", error.c_str());
        return 1;
    }
    FaultInjector in(o.toDevice), out(o.toHost);
    long sent = 0;
    bool present = true;
    while (!stop && present) {
        pollfd p{lfd, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) continue;
        const int fd = ::accept4(lfd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        // Tells a test how many conversations the device has had to take part in.
        if (o.verbose) std::fprintf(stderr, "qv7-sim: client connected\n");
        present = serveClient(fd, lfd, device, o, in, out, sent, stop);
        ::close(fd);
    }
    if (!present) std::fprintf(stderr, "qv7-sim: unplugged after %ld reports\n", sent);
    ::close(lfd);
    ::unlink(o.path.c_str());
    return 0;
}

}  // namespace qv7::sim
