// Device providers and the host that opens, reads and retires devices for the window.
#include "panel/device_host.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QMetaObject>

#include <chrono>
#include <cstdio>

#include "device/socket_transport.h"
#include "sim/sim_transport.h"

namespace qv7::panel {

namespace {
constexpr int kSocketPlugPollMs = 1000;

unsigned long socketInode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) ? static_cast<unsigned long>(st.st_ino) : 0;
}
}  // namespace

SimProvider::SimProvider(std::shared_ptr<sim::SimTransport> sim) : sim_(std::move(sim)) {
    // Told on the thread that plugs; the window thread learns of it through its event queue.
    plugListener_ = sim_->addPlugListener([this](bool present) {
        QMetaObject::invokeMethod(
            this,
            [this, present] {
                if (present && !wasPresent_ && onArrival) onArrival();
                wasPresent_ = present;
            },
            Qt::QueuedConnection);
    });
}

SimProvider::~SimProvider() { sim_->removePlugListener(plugListener_); }

HidTransport* SimProvider::open() { return sim_->present() ? sim_.get() : nullptr; }

bool SimProvider::present() {
    wasPresent_ = sim_->present();
    return wasPresent_;
}

SocketProvider::SocketProvider(std::string path) : path_(std::move(path)), lastInode_(socketInode(path_)) {
    plugWatch_.setInterval(kSocketPlugPollMs);
    QObject::connect(&plugWatch_, &QTimer::timeout, this, [this] {
        const unsigned long inode = socketInode(path_);
        if (inode != 0 && inode != lastInode_ && !transport_ && onArrival) {
            lastInode_ = inode;
            onArrival();
        }
        if (inode == 0) lastInode_ = 0;
    });
    plugWatch_.start();
}

SocketProvider::~SocketProvider() = default;

HidTransport* SocketProvider::open() {
    std::string error;
    auto transport = SocketTransport::connect(path_, error);
    lastInode_ = socketInode(path_);
    if (!transport) return nullptr;  // a failed open keeps the device that was open
    transport_ = std::move(transport);
    // While connected the reader notices the server go; the file is watched only for a new server.
    plugWatch_.stop();
    return transport_.get();
}

void SocketProvider::release() {
    transport_.reset();
    // What a look while connected would have seen: a server that has gone since leaves no file.
    if (socketInode(path_) == 0) lastInode_ = 0;
    plugWatch_.start();
}

std::string SocketProvider::lockKey() const { return socketLockKey(path_); }

// A socket that reported "gone" is not coming back; a new server makes a new arrival.
bool SocketProvider::present() { return false; }

DeviceHost::DeviceHost(std::unique_ptr<DeviceProvider> provider)
    : provider_(std::move(provider)), worker_([this](std::string_view line) {
          // Posted ahead of the gone notice that may follow, so the trace says it before the removal does.
          QMetaObject::invokeMethod(
              this,
              [this, text = std::string(line)] {
                  if (controller_) controller_->traceReaderLine(text);
              },
              Qt::QueuedConnection);
      }) {
    lockWatch_.setInterval(kLockWatchMs);
    QObject::connect(&lockWatch_, &QTimer::timeout, this, [this] {
        // Only a look: the arrival takes the lock for real, with the device open.
        if (DeviceLock::tryTake(waitingFor_, {}).status() == DeviceLock::Status::Busy) return;
        lockWatch_.stop();
        waitingFor_.clear();
        if (controller_) controller_->onArrival();
    });
}

DeviceHost::~DeviceHost() {
    retire();
    if (const auto dropped = queue_.counts().dropped)
        std::fprintf(stderr,
                     "qv7-panel: %llu device reports were dropped: they came faster than the window could take them\n",
                     static_cast<unsigned long long>(dropped));
}

void DeviceHost::attach(PanelController& controller) {
    controller_ = &controller;
    provider_->onArrival = [this] { controller_->onArrival(); };
    provider_->onRemoval = [this] { controller_->onRemoval(); };
}

HidTransport* DeviceHost::open() {
    // A second arrival while open: the old worker stops before the device is replaced, and one new
    // worker serves the new device. A failed open leaves the device that was open in place (the
    // providers replace theirs only on success), so it gets its reader back.
    worker_.stop();
    queue_.clear();
    tick_ = nullptr;  // the connection that follows re-arms the timer
    ++generation_;
    HidTransport* transport = provider_->open();
    if (!transport) {
        if (current_) startReader(*current_);
        return nullptr;
    }
    // Our own lock would stand in the way of taking it again (flock belongs to the open file, not the process).
    const std::string key = provider_->lockKey();
    lock_.release();
    lock_ = DeviceLock::tryTake(key, {"qv7-panel", static_cast<long>(getpid()), provider_->handoverSocket});
    if (lock_.status() == DeviceLock::Status::Busy) {
        // Nothing was read or written: the holder's conversation goes on undisturbed.
        const DeviceHolder holder = lock_.holder();
        provider_->release();
        current_ = nullptr;
        if (waitingFor_ != key)
            std::fprintf(stderr, "qv7-panel: %s is held by %s (pid %ld); connecting when it lets go\n", key.c_str(),
                         holder.program.empty() ? "another program" : holder.program.c_str(), holder.pid);
        waitingFor_ = key;
        lockWatch_.start();
        return nullptr;
    }
    waitingFor_.clear();
    lockWatch_.stop();
    current_ = transport;
    startReader(*transport);
    return transport;
}

void DeviceHost::startReader(HidTransport& transport) {
    const unsigned generation = ++generation_;
    worker_.start(
        transport,
        [this](std::vector<uint8_t> report) {
            // One wake-up for a stretch of waiting reports: the window's event queue never grows with the device's
            // rate.
            if (queue_.push(std::move(report))) wake();
        },
        [this, generation] {
            QMetaObject::invokeMethod(
                this,
                [this, generation] {
                    if (generation != generation_ || !current_ || provider_->watchesRemoval() || !controller_) return;
                    // What the device sent before it went comes first, as it would through one queue.
                    while (deliver() && generation == generation_) {
                    }
                    if (generation != generation_) return;
                    controller_->onRemoval();
                    // Back before the probe looked: the reader has ended, so connect afresh.
                    if (current_ && !worker_.running()) controller_->onArrival();
                },
                Qt::QueuedConnection);
        });
}

void DeviceHost::wake() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            // Events posted meanwhile (input, painting) run before the next batch.
            if (deliver()) wake();
        },
        Qt::QueuedConnection);
}

bool DeviceHost::deliver() {
    // A turn ends after a batch or a time budget, whichever comes first: one report can cost a write
    // that waits for a device which no longer reads.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTurnBudgetMs);
    const unsigned generation = generation_;
    std::vector<ReportQueue::Report> one;
    for (std::size_t n = 0; n < ReportQueue::kBatch; ++n) {
        const bool more = queue_.take(one, 1);
        // A report can end in a new connection: what is left belongs to the retired device.
        for (const auto& report : one)
            if (generation == generation_ && controller_) controller_->onReport(report);
        runTickIfDue();
        if (!more) return false;
        if (generation != generation_ || std::chrono::steady_clock::now() >= until) break;
    }
    return true;
}

void DeviceHost::afterArrived(std::function<void()> then) {
    if (tick_) return;  // one is waiting already: this one would come right behind it
    tickAfterPushed_ = queue_.counts().pushed;
    tick_ = std::move(then);
    runTickIfDue();
}

void DeviceHost::runTickIfDue() {
    if (!tick_) return;
    const ReportQueue::Counts c = queue_.counts();
    if (c.taken + c.dropped + c.discarded < tickAfterPushed_) return;
    // A report taken from the queue is handed over before the next is taken: all of them are handled now.
    auto tick = std::move(tick_);
    tick_ = nullptr;
    tick();
}

void DeviceHost::retire() {
    // The device's reports are forgotten, and with them a tick that waited for them: the timer that
    // raised it ticks again, and the next device's connection re-arms it anyway.
    tick_ = nullptr;
    worker_.stop();
    queue_.clear();
    if (current_) provider_->release();
    current_ = nullptr;
    lock_.release();
    ++generation_;
}

}  // namespace qv7::panel
