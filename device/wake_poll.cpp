// eventfd wake-up and the poll over a device descriptor and it.
#include "device/wake_poll.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace qv7 {

int makeWakeFd() { return ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); }

void signalWake(int wakeFd) {
    const uint64_t one = 1;
    [[maybe_unused]] auto r = ::write(wakeFd, &one, sizeof one);
}

std::optional<ReadStatus> waitReadable(int fd, int wakeFd, int timeoutMs, short& revents) {
    pollfd p[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    int n;
    do {
        n = ::poll(p, 2, timeoutMs < 0 ? -1 : timeoutMs);
    } while (n < 0 && errno == EINTR);
    revents = p[0].revents;
    if (n < 0) return ReadStatus::Gone;
    if (n == 0) return ReadStatus::Timeout;
    if (p[1].revents & POLLIN) {
        uint64_t v;
        [[maybe_unused]] auto r = ::read(wakeFd, &v, sizeof v);
        return ReadStatus::Interrupted;
    }
    return std::nullopt;
}

}  // namespace qv7
