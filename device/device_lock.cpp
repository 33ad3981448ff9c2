#include "device/device_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include "common/runtime_dir.h"

namespace qv7 {

namespace {

// Longer keys are cut, with a hash of the whole key kept so distinct devices keep distinct files.
constexpr std::size_t kMaxNameChars = 120;
constexpr std::size_t kMaxHolderText = 1024;

std::string fileNameFor(const std::string& key) {
    std::string name;
    for (const char c : key) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    if (name.size() > kMaxNameChars) {
        uint64_t h = 1469598103934665603ull;  // FNV-1a
        for (const char c : key) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        char tail[20];
        std::snprintf(tail, sizeof tail, "-%016llx", static_cast<unsigned long long>(h));
        name = name.substr(name.size() - kMaxNameChars) + tail;
    }
    return "qv7-tolka-" + name + ".lock";
}

std::string absolute(const std::string& path) {
    std::error_code ec;
    auto p = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    return ec ? path : p.string();
}

std::string readBounded(int fd) {
    std::string text(kMaxHolderText, '\0');
    const ssize_t n = pread(fd, text.data(), text.size(), 0);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return text;
}

}  // namespace

std::string deviceLockKey(const std::string& hidrawPath) { return hidrawPath.empty() ? "" : absolute(hidrawPath); }

std::string socketLockKey(const std::string& socketPath) {
    return socketPath.empty() ? "" : "unix:" + absolute(socketPath);
}

std::string holderText(const DeviceHolder& holder) {
    return "program " + holder.program + "\npid " + std::to_string(holder.pid) + "\nhandover " + holder.handover + "\n";
}

DeviceHolder parseHolder(const std::string& text) {
    DeviceHolder h;
    std::size_t at = 0;
    while (at < text.size() && at < kMaxHolderText) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;  // a line still being written counts for nothing
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const std::size_t space = line.find(' ');
        if (space == std::string::npos) continue;
        const std::string key = line.substr(0, space), value = line.substr(space + 1);
        if (key == "program") h.program = value;
        else if (key == "handover") h.handover = value;
        else if (key == "pid") {
            long pid = 0;
            const auto r = std::from_chars(value.data(), value.data() + value.size(), pid);
            if (r.ec == std::errc() && r.ptr == value.data() + value.size() && pid > 0) h.pid = pid;
        }
    }
    return h;
}

DeviceLock::DeviceLock(DeviceLock&& other) noexcept { *this = std::move(other); }

DeviceLock& DeviceLock::operator=(DeviceLock&& other) noexcept {
    if (this != &other) {
        release();
        status_ = other.status_;
        fd_ = std::exchange(other.fd_, -1);
        holder_ = std::move(other.holder_);
        detail_ = std::move(other.detail_);
        other.status_ = Status::NoPlace;
    }
    return *this;
}

DeviceLock::~DeviceLock() { release(); }

void DeviceLock::release() {
    // Closing drops the lock; the file stays, since removing it would race with the next taker's flock.
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (status_ == Status::Held) status_ = Status::NoPlace;
}

DeviceLock DeviceLock::tryTake(const std::string& key, const DeviceHolder& me) {
    DeviceLock lock;
    if (key.empty()) {
        lock.status_ = Status::Held;
        return lock;
    }
    const std::string dir = privateRuntimeDir(lock.detail_);
    if (dir.empty()) return lock;
    const std::string path = dir + "/" + fileNameFor(key);
    lock.fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock.fd_ < 0) {
        lock.detail_ = path + ": " + std::strerror(errno);
        return lock;
    }
    int rc;
    do rc = flock(lock.fd_, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int e = errno;
        if (e == EWOULDBLOCK) {
            lock.status_ = Status::Busy;
            lock.holder_ = parseHolder(readBounded(lock.fd_));
        } else {
            lock.detail_ = path + ": " + std::strerror(e);
        }
        close(lock.fd_);
        lock.fd_ = -1;
        return lock;
    }
    // Written while held: a reader that comes between the truncate and the write sees an unnamed holder.
    const std::string text = holderText(me);
    if (ftruncate(lock.fd_, 0) != 0 ||
        pwrite(lock.fd_, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
        // The lock holds regardless; only others learn less about its holder.
    }
    lock.status_ = Status::Held;
    lock.holder_ = me;
    return lock;
}

}  // namespace qv7
