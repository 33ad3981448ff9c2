#include "panel/instance_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

namespace qv7::panel {

namespace {

using Clock = std::chrono::steady_clock;

bool addressOf(const std::string& path, sockaddr_un& addr) {
    addr = {};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

enum class Asked { Shown, Nobody, Silent };

// Nobody: no file, a socket nobody listens on, or a server that went away before answering; worth asking
// again. Silent: someone listens but did not answer within timeoutMs.
Asked askToShow(const std::string& path, int timeoutMs) {
    sockaddr_un addr;
    if (!addressOf(path, addr)) return Asked::Nobody;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return Asked::Nobody;
    // Bounds a full backlog (connect) as well as a busy server (recv).
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    Asked result = Asked::Nobody;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno == EAGAIN || errno == EINPROGRESS) result = Asked::Silent;
    } else if (send(fd, kShowRequest, sizeof kShowRequest - 1, MSG_NOSIGNAL) ==
               static_cast<ssize_t>(sizeof kShowRequest - 1)) {
        char reply[sizeof kShownReply] = {};
        std::size_t got = 0;
        while (got < sizeof reply && !std::memchr(reply, '\n', got)) {
            const ssize_t n = recv(fd, reply + got, sizeof reply - got, 0);
            if (n > 0) got += static_cast<std::size_t>(n);
            else if (n < 0 && errno == EINTR) continue;
            else {
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) result = Asked::Silent;
                break;
            }
        }
        if (got == sizeof kShownReply - 1 && std::memcmp(reply, kShownReply, got) == 0) result = Asked::Shown;
    }
    close(fd);
    return result;
}

}  // namespace

InstanceClaim::InstanceClaim(InstanceClaim&& other) noexcept { *this = std::move(other); }

InstanceClaim& InstanceClaim::operator=(InstanceClaim&& other) noexcept {
    if (this != &other) {
        reset();
        outcome_ = other.outcome_;
        lockFd_ = std::exchange(other.lockFd_, -1);
        socketFd_ = std::exchange(other.socketFd_, -1);
        socketPath_ = std::move(other.socketPath_);
        detail_ = std::move(other.detail_);
    }
    return *this;
}

InstanceClaim::~InstanceClaim() { reset(); }

void InstanceClaim::reset() {
    if (socketFd_ >= 0) close(socketFd_);
    if (lockFd_ >= 0) close(lockFd_);
    socketFd_ = lockFd_ = -1;
}

int InstanceClaim::takeListeningSocket() { return std::exchange(socketFd_, -1); }

InstanceClaim InstanceClaim::take(const std::string& name, int answerMs) {
    InstanceClaim c;
    const std::string dir = privateRuntimeDir(c.detail_);
    if (dir.empty()) return c;
    c.socketPath_ = dir + "/" + name;
    sockaddr_un addr;
    if (!addressOf(c.socketPath_, addr)) {
        c.detail_ = c.socketPath_ + " is too long for a socket";
        return c;
    }
    const std::string lockPath = c.socketPath_ + ".lock";
    c.lockFd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (c.lockFd_ < 0) {
        c.detail_ = lockPath + ": " + std::strerror(errno);
        return c;
    }
    auto finish = [&c](Outcome outcome, std::string detail = {}) {
        c.outcome_ = outcome;
        if (!detail.empty()) c.detail_ = std::move(detail);
        if (outcome != Outcome::Claimed) c.reset();
        return std::move(c);
    };
    const auto deadline = Clock::now() + std::chrono::milliseconds(answerMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int leftMs = static_cast<int>(std::max<long long>(left, 1));
        // The lock is held for the life of the process (the kernel drops it when the process ends, however it
        // ends), so its holder is the one copy that listens or is about to.
        if (flock(c.lockFd_, LOCK_EX | LOCK_NB) == 0) {
            // What sits on the path now was left by a copy that died, or is served by a program that does
            // not take the lock; the latter is asked, never removed.
            switch (askToShow(c.socketPath_, leftMs)) {
            case Asked::Shown:
                return finish(Outcome::Forwarded);
            case Asked::Silent:
                return finish(Outcome::NoAnswer);
            case Asked::Nobody:
                break;
            }
            struct stat st {};
            if (lstat(c.socketPath_.c_str(), &st) == 0) {
                if (!S_ISSOCK(st.st_mode)) return finish(Outcome::NoPlace, c.socketPath_ + " is not a socket");
                unlink(c.socketPath_.c_str());
            }
            c.socketFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (c.socketFd_ < 0 || bind(c.socketFd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
                listen(c.socketFd_, SOMAXCONN) != 0)
                return finish(Outcome::NoPlace, c.socketPath_ + ": " + std::strerror(errno));
            return finish(Outcome::Claimed);
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            return finish(Outcome::NoPlace, lockPath + ": " + std::strerror(errno));
        // The holder may be between taking the lock and listening, or on its way out: ask until it answers.
        switch (askToShow(c.socketPath_, leftMs)) {
        case Asked::Shown:
            return finish(Outcome::Forwarded);
        case Asked::Silent:
            return finish(Outcome::NoAnswer);
        case Asked::Nobody:
            break;
        }
        if (Clock::now() >= deadline) return finish(Outcome::NoAnswer);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace qv7::panel
