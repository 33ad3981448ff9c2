// One program at a time on a Tolka: the device has a single conversation, and every input report reaches every
// reader of its node. Whoever talks to it holds an advisory lock named after the device in the user's runtime
// folder; the kernel drops the lock with the holder's last descriptor, so a program that dies, even killed,
// leaves the device free. The lock file says who holds it and where that program takes hand-overs.
// That file is the user's own: another user, or root without a runtime folder, looks in another folder. So a
// device node is locked as well, on the node itself, which every user's program shares.
#pragma once

#include <string>

namespace qv7 {

// Who holds a device: a program name ("qv7-panel", "qv7ctl"), its process id, and the local socket that
// carries out commands for others (empty when it takes none).
struct DeviceHolder {
    std::string program;
    long pid = 0;
    std::string handover;
};

// The lock's name for a device: a hidraw node by its resolved path, a socket device by "unix:" and its
// absolute path. Empty for devices that live inside one process (the simulated one), which need none.
std::string deviceLockKey(const std::string& hidrawPath);
std::string socketLockKey(const std::string& socketPath);

class DeviceLock {
public:
    enum class Status {
        Held,     // this object holds the lock
        Busy,     // someone else does (holder() says who, as far as it has written)
        NoPlace,  // no private folder or no lock file (see detail()): go on without the rule
    };

    DeviceLock() = default;
    DeviceLock(DeviceLock&& other) noexcept;
    DeviceLock& operator=(DeviceLock&& other) noexcept;
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;
    ~DeviceLock();  // lets go

    // One attempt, never waiting. An empty key is always Held (nothing to share). A node's own lock is taken
    // even without a private folder (NoPlace then still keeps others out); a node that cannot be opened (absent,
    // not ours to open) is left to the open that follows to report.
    static DeviceLock tryTake(const std::string& key, const DeviceHolder& me);

    Status status() const { return status_; }
    bool held() const { return status_ == Status::Held; }
    const DeviceHolder& holder() const { return holder_; }
    const std::string& detail() const { return detail_; }
    void release();

private:
    Status status_ = Status::NoPlace;
    int fd_ = -1;
    int nodeFd_ = -1;
    DeviceHolder holder_;
    std::string detail_;
};

// The lock file's text for `holder`, and back; parsing is bounded and takes only well-formed lines.
std::string holderText(const DeviceHolder& holder);
DeviceHolder parseHolder(const std::string& text);

}  // namespace qv7
