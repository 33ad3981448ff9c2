// Local-socket transport: lets a simulator or a device written in any language play the Tolka.
#include "device/socket_transport.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "common/system_error.h"
#include "device/wake_poll.h"

namespace qv7 {

std::unique_ptr<SocketTransport> SocketTransport::connect(const std::string& path, std::string& error) {
    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path) {
        error = "socket path too long (" + std::to_string(path.size()) + " bytes, at most " +
                std::to_string(sizeof addr.sun_path - 1) + ")";
        return nullptr;
    }
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = systemError("socket", errno);
        return nullptr;
    }
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        error = systemError("cannot connect to " + path, errno);
        ::close(fd);
        return nullptr;
    }
    const int wake = makeWakeFd();
    if (wake < 0) {
        error = systemError("eventfd", errno);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<SocketTransport>(new SocketTransport(fd, wake, path));
}

int listenForHost(const std::string& path, std::string& error) {
    sockaddr_un addr{};
    const std::string staging = path + ".new";
    if (path.empty() || staging.size() >= sizeof addr.sun_path) {
        error = "socket path must be 1 to " + std::to_string(sizeof addr.sun_path - 5) + " bytes";
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = systemError("socket", errno);
        return -1;
    }
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, staging.c_str(), staging.size() + 1);
    ::unlink(staging.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0 ||
        ::rename(staging.c_str(), path.c_str()) != 0) {
        error = systemError("cannot listen on " + path, errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

SocketTransport::~SocketTransport() {
    ::close(fd_);
    ::close(wakeFd_);
}

bool SocketTransport::write(std::span<const uint8_t> data) {
    if (data.size() > kReportLength) return false;
    uint8_t buf[kReportLength] = {};
    std::copy(data.begin(), data.end(), buf);
    // Bounded like a HID write: wait at most 100 ms for room in the socket.
    pollfd p{fd_, POLLOUT, 0};
    if (::poll(&p, 1, 100) <= 0 || !(p.revents & POLLOUT)) return false;
    return ::send(fd_, buf, sizeof buf, MSG_NOSIGNAL | MSG_DONTWAIT) == static_cast<ssize_t>(sizeof buf);
}

ReadStatus SocketTransport::read(std::vector<uint8_t>& report, int timeoutMs) {
    short revents = 0;
    if (const auto status = waitReadable(fd_, wakeFd_, timeoutMs, revents)) return *status;
    if (revents & (POLLIN | POLLHUP | POLLERR)) {
        uint8_t buf[256];
        const ssize_t got = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT | MSG_TRUNC);
        if (got == 0) return ReadStatus::Gone;
        if (got < 0) return (errno == EAGAIN || errno == EINTR) ? ReadStatus::Timeout : ReadStatus::Gone;
        const std::size_t kept = std::min<std::size_t>(static_cast<std::size_t>(got), sizeof buf);
        if (kept >= kBusyPrefix.size() && std::memcmp(buf, kBusyPrefix.data(), kBusyPrefix.size()) == 0) {
            // Shown to the user: printable text only, bounded.
            refusal_.clear();
            for (std::size_t i = kBusyPrefix.size(); i < kept && refusal_.size() < kMaxRefusalChars; ++i)
                if (std::isprint(buf[i])) refusal_ += static_cast<char>(buf[i]);
            if (refusal_.empty()) refusal_ = "busy";
            return ReadStatus::Gone;
        }
        // Longer datagrams are cut to one report; shorter ones are zero-padded.
        report.assign(kReportLength, 0);
        std::copy_n(buf, std::min<std::size_t>(static_cast<std::size_t>(got), kReportLength), report.begin());
        return ReadStatus::Report;
    }
    return ReadStatus::Timeout;
}

void SocketTransport::interrupt() { signalWake(wakeFd_); }

}  // namespace qv7
