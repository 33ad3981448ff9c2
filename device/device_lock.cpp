#include "device/device_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

// /proc/locks has a line per lock in the system; a bound keeps a system full of them from holding us up.
constexpr int kMaxLockLines = 100000;
constexpr std::size_t kMaxCommChars = 15;  // the kernel's own bound on a process name

// The process holding the flock on the file open at `fd`, as /proc/locks tells ("1: FLOCK  ADVISORY  WRITE 1234
// 00:05:567 0 EOF", device numbers in hex; waiters are marked "->" and hold nothing); 0 when it does not say.
long flockHolderPid(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return 0;
    FILE* locks = std::fopen("/proc/locks", "re");
    if (!locks) return 0;
    long found = 0;
    char line[256];
    for (int n = 0; n < kMaxLockLines && std::fgets(line, sizeof line, locks); ++n) {
        if (std::strstr(line, "->")) continue;
        char kind[16] = {};
        long pid = 0;
        unsigned maj = 0, min = 0;
        unsigned long long ino = 0;
        if (std::sscanf(line, "%*d: %15s %*s %*s %ld %x:%x:%llu", kind, &pid, &maj, &min, &ino) != 5) continue;
        if (std::strcmp(kind, "FLOCK") == 0 && maj == major(st.st_dev) && min == minor(st.st_dev) && ino == st.st_ino &&
            pid > 0) {
            found = pid;
            break;
        }
    }
    std::fclose(locks);
    return found;
}

// Another user's program is named as such: its name is that user's business, and our lock file is not its.
DeviceHolder nodeHolder(int fd) {
    DeviceHolder h{"another program", 0, {}};
    const long pid = flockHolderPid(fd);
    if (pid <= 0) return h;
    h.pid = pid;
    const std::string proc = "/proc/" + std::to_string(pid);
    struct stat st {};
    if (stat(proc.c_str(), &st) != 0) return h;
    if (st.st_uid != geteuid()) {
        h.program = "another user's program";
        return h;
    }
    // One of ours that looks in another folder (another session's, or none).
    if (FILE* comm = std::fopen((proc + "/comm").c_str(), "re")) {
        char name[kMaxCommChars + 2] = {};
        if (std::fgets(name, sizeof name, comm)) {
            std::string text(name);
            while (!text.empty() && text.back() == '\n') text.pop_back();
            bool printable = !text.empty();
            for (const char c : text) printable = printable && std::isprint(static_cast<unsigned char>(c));
            if (printable) h.program = text;
        }
        std::fclose(comm);
    }
    return h;
}

enum class NodeLock { Held, Busy, None };

// The node's own lock: taken on a descriptor of its own, so the program's reopenings of the node never meet it.
NodeLock lockNode(const std::string& node, int& fd, DeviceHolder& holder) {
    fd = open(node.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return NodeLock::None;
    int rc;
    do rc = flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc == 0) return NodeLock::Held;
    const int e = errno;
    if (e == EWOULDBLOCK) holder = nodeHolder(fd);
    close(fd);
    fd = -1;
    return e == EWOULDBLOCK ? NodeLock::Busy : NodeLock::None;
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
        nodeFd_ = std::exchange(other.nodeFd_, -1);
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
    if (nodeFd_ >= 0) close(nodeFd_);
    fd_ = nodeFd_ = -1;
    if (status_ == Status::Held) status_ = Status::NoPlace;
}

DeviceLock DeviceLock::tryTake(const std::string& key, const DeviceHolder& me) {
    DeviceLock lock;
    if (key.empty()) {
        lock.status_ = Status::Held;
        return lock;
    }
    // The user's own lock first: it is the one that names the panel to hand commands to.
    const std::string dir = privateRuntimeDir(lock.detail_);
    if (!dir.empty()) {
        const std::string path = dir + "/" + fileNameFor(key);
        lock.fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (lock.fd_ < 0) lock.detail_ = path + ": " + std::strerror(errno);
        int rc = 0;
        if (lock.fd_ >= 0) {
            do rc = flock(lock.fd_, LOCK_EX | LOCK_NB);
            while (rc != 0 && errno == EINTR);
        }
        if (lock.fd_ >= 0 && rc != 0) {
            const int e = errno;
            if (e == EWOULDBLOCK) {
                lock.status_ = Status::Busy;
                lock.holder_ = parseHolder(readBounded(lock.fd_));
            } else {
                lock.detail_ = path + ": " + std::strerror(e);
            }
            close(lock.fd_);
            lock.fd_ = -1;
            if (lock.status_ == Status::Busy) return lock;
        }
    }
    // A socket device has no node to lock: its server decides whom it serves.
    if (key.front() == '/') {
        DeviceHolder other;
        if (lockNode(key, lock.nodeFd_, other) == NodeLock::Busy) {
            lock.release();
            lock.status_ = Status::Busy;
            lock.holder_ = other;
            return lock;
        }
    }
    if (lock.fd_ < 0) return lock;  // NoPlace: without the user's rule, though the node may be locked
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
