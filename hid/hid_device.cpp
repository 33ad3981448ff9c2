// hidraw backend of the transport: hidapi finds the interfaces, the node itself carries the reports.
#include "hid/hid_device.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <hidapi/hidapi.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <utility>

#include "common/wide_text.h"
#include "device/read_loop.h"
#include "device/wake_poll.h"
#include "hid/report_descriptor.h"

namespace qv7 {
namespace hid {
namespace {

constexpr auto kWriteTimeout = std::chrono::milliseconds(100);

bool hidapiReady() {
    static const bool ok = hid_init() == 0;
    return ok;
}

// hidraw10 after hidraw9, not after hidraw1; anything unnumbered after every node, by name.
long nodeNumber(const std::string& path) {
    const auto pos = path.find_last_not_of("0123456789");
    if (pos == std::string::npos || pos + 1 == path.size()) return -1;
    return std::stol(path.substr(pos + 1));
}

bool isGoneError(int e) { return e == ENODEV || e == EIO || e == ENXIO || e == EPIPE; }

std::optional<std::vector<uint8_t>> readDescriptor(int fd, const std::string& path) {
    int size = 0;
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size > 0 && size <= HID_MAX_DESCRIPTOR_SIZE) {
        hidraw_report_descriptor rd{};
        rd.size = static_cast<uint32_t>(size);
        if (::ioctl(fd, HIDIOCGRDESC, &rd) == 0) return std::vector<uint8_t>(rd.value, rd.value + rd.size);
    }
    // Same bytes through sysfs, for nodes whose driver refuses the ioctl.
    const auto slash = path.find_last_of('/');
    std::ifstream f("/sys/class/hidraw/" + path.substr(slash + 1) + "/device/report_descriptor", std::ios::binary);
    if (!f) return std::nullopt;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (bytes.empty()) return std::nullopt;
    return bytes;
}

std::string hexText(const std::vector<uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        if (!out.empty()) out += ' ';
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

// The bus, vendor and product (HID_ID) and where the interface sits (HID_PHYS: the port and the USB interface),
// from the node's uevent; never HID_UNIQ, the device's serial number.
std::vector<std::pair<std::string, std::string>> sysfsIdentity(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> out;
    const auto slash = path.find_last_of('/');
    std::ifstream f("/sys/class/hidraw/" + path.substr(slash + 1) + "/device/uevent");
    std::string line;
    for (int lines = 0; lines < 64 && std::getline(f, line); ++lines) {
        if (line.size() > 256) continue;
        if (line.rfind("HID_ID=", 0) == 0) out.emplace_back("hid id", line.substr(7));
        else if (line.rfind("HID_PHYS=", 0) == 0) out.emplace_back("hid phys", line.substr(9));
    }
    return out;
}

}  // namespace

bool enumerateHidInterfaces(std::vector<HidInterface>& out) {
    out.clear();
    if (!hidapiReady()) return false;
    hid_device_info* list = hid_enumerate(0, 0);
    // hidapi lists a node once per top-level usage: keep the first entry of each path.
    for (hid_device_info* d = list; d; d = d->next) {
        if (!d->path) continue;
        const std::string path = d->path;
        if (std::any_of(out.begin(), out.end(), [&](const HidInterface& i) { return i.path == path; })) continue;
        out.push_back({path, d->vendor_id, d->product_id, wideToUtf8(d->serial_number), wideToUtf8(d->product_string)});
    }
    hid_free_enumeration(list);
    std::stable_sort(out.begin(), out.end(), [](const HidInterface& a, const HidInterface& b) {
        const long na = nodeNumber(a.path), nb = nodeNumber(b.path);
        if ((na < 0) != (nb < 0)) return nb < 0;
        if (na != nb) return na < nb;
        return a.path < b.path;
    });
    return true;
}

std::vector<HidInterface> enumerateTolkas() {
    std::vector<HidInterface> all, tolkas;
    enumerateHidInterfaces(all);
    const std::size_t n = std::min<std::size_t>(all.size(), kMaxInterfaces);
    for (std::size_t i = 0; i < n; ++i)
        if (all[i].vendorId == kTolkaVendorId && all[i].productId == kTolkaProductId) tolkas.push_back(all[i]);
    return tolkas;
}

// One open node. Reads and writes keep separate completion state: a read completes through poll on the node,
// a write through its own ticket on the writer thread, so neither can be taken for the other.
class HidHandle final : public HidTransport {
public:
    static std::shared_ptr<HidHandle> open(const std::string& path, int& error, std::string& why) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            error = errno;
            why = "cannot open " + path + ": " + std::strerror(error);
            return nullptr;
        }
        const auto descriptor = readDescriptor(fd, path);
        const auto info = descriptor ? parseReportDescriptor(*descriptor) : std::nullopt;
        ReportLengths lengths;
        bool numbered = false;
        if (info && info->usesReportIds()) {
            // Numbered reports travel with their identifier; the longest report bounds every transfer.
            numbered = true;
            for (const auto& [id, l] : info->numbered) {
                lengths.input = std::max(lengths.input, l.input);
                lengths.output = std::max(lengths.output, l.output);
            }
        } else if (info) {
            lengths = info->unnumbered;
        }
        if (!info || lengths.input == 0 || lengths.output == 0) {
            error = EPROTO;
            why = path + ": " +
                  (descriptor ? std::string(info ? "no input or output report in the report descriptor"
                                                 : "malformed report descriptor")
                              : std::string("cannot read the report descriptor"));
            ::close(fd);
            return nullptr;
        }
        const int wake = makeWakeFd();
        if (wake < 0) {
            error = errno;
            why = std::string("eventfd: ") + std::strerror(error);
            ::close(fd);
            return nullptr;
        }
        auto handle = std::shared_ptr<HidHandle>(new HidHandle(fd, wake, path, lengths, numbered));
        handle->identity_ = sysfsIdentity(path);
        handle->identity_.emplace_back("report descriptor", hexText(*descriptor));
        return handle;
    }

    ~HidHandle() override {
        {
            std::lock_guard lock(writeMutex_);
            stopWriter_ = true;
        }
        writeCv_.notify_all();
        // A write stuck in the kernel (a USB device that does not take its report) holds this up until the
        // kernel's own timeout; it cannot be cancelled from here.
        writer_.join();
        ::close(fd_);
        ::close(wakeFd_);
    }

    const std::string& path() const { return path_; }
    std::size_t inputLength() const { return lengths_.input; }
    std::size_t outputLength() const { return lengths_.output; }

    void retire() {
        retired_.store(true);
        wake();
    }
    bool retired() const { return retired_.load(); }

    void wake() { signalWake(wakeFd_); }

    std::string describe() const override { return path_; }
    std::vector<std::pair<std::string, std::string>> identity() const override { return identity_; }
    std::size_t inputReportLength() const override { return lengths_.input; }
    std::size_t outputReportLength() const override { return lengths_.output; }
    void interrupt() override { wake(); }

    ReadStatus read(std::vector<uint8_t>& report, int timeoutMs) override {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
        for (;;) {
            if (retired_.load()) return ReadStatus::Interrupted;
            int wait = -1;
            if (timeoutMs >= 0) {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
                wait = static_cast<int>(std::max<long long>(0, left));
            }
            short revents = 0;
            if (const auto status = waitReadable(fd_, wakeFd_, wait, revents)) return *status;
            if (revents & (POLLIN | POLLHUP | POLLERR)) {
                // hidraw keeps delivering reports already queued after the device has gone, so read before
                // believing the hang-up: nothing the device sent is lost.
                const ssize_t got = ::read(fd_, readBuffer_.data(), readBuffer_.size());
                if (got >= 0) {
                    report =
                        inputReportData({readBuffer_.data(), static_cast<std::size_t>(got)}, lengths_.input, numbered_);
                    return ReadStatus::Report;
                }
                if (isGoneError(errno) || (revents & (POLLHUP | POLLERR))) return ReadStatus::Gone;
                // Any other error: try again at once, as long as the caller's time lasts.
            }
            if (timeoutMs >= 0 && Clock::now() >= deadline) return ReadStatus::Timeout;
        }
    }

    bool write(std::span<const uint8_t> data) override {
        auto frame = frameOutputReport(data, lengths_.output);
        if (!frame) return false;
        const auto deadline = std::chrono::steady_clock::now() + kWriteTimeout;
        std::unique_lock lock(writeMutex_);
        if (!writeCv_.wait_until(lock, deadline, [&] { return !busy_ || gone_; })) return false;
        if (gone_) return false;
        slot_ = std::move(*frame);
        busy_ = true;
        const uint64_t ticket = ++posted_;
        writeCv_.notify_all();
        // On time-out the report stays in flight: a hidraw write cannot be cancelled. The caller's
        // retransmission covers it, and the next write waits for the slot within its own 100 ms.
        if (!writeCv_.wait_until(lock, deadline, [&] { return completed_ >= ticket; })) return false;
        return lastWriteOk_;
    }

private:
    std::vector<std::pair<std::string, std::string>> identity_;

    HidHandle(int fd, int wakeFd, std::string path, ReportLengths lengths, bool numbered)
        : fd_(fd), wakeFd_(wakeFd), path_(std::move(path)), lengths_(lengths), numbered_(numbered),
          readBuffer_(lengths.input + 1) {
        writer_ = std::thread([this] { writerLoop(); });
    }

    void writerLoop() {
        std::unique_lock lock(writeMutex_);
        for (;;) {
            writeCv_.wait(lock, [&] { return stopWriter_ || (busy_ && completed_ < posted_); });
            if (stopWriter_) return;
            const std::vector<uint8_t> frame = std::move(slot_);
            const uint64_t ticket = posted_;
            lock.unlock();
            ssize_t put;
            do {
                put = ::write(fd_, frame.data(), frame.size());
            } while (put < 0 && errno == EINTR);
            const int err = errno;
            lock.lock();
            lastWriteOk_ = put == static_cast<ssize_t>(frame.size());
            if (put < 0 && isGoneError(err)) gone_ = true;
            completed_ = ticket;
            busy_ = false;
            writeCv_.notify_all();
        }
    }

    const int fd_;
    const int wakeFd_;
    const std::string path_;
    const ReportLengths lengths_;
    const bool numbered_;
    std::vector<uint8_t> readBuffer_;  // only the one reading thread touches it
    std::atomic<bool> retired_{false};

    std::mutex writeMutex_;
    std::condition_variable writeCv_;
    std::vector<uint8_t> slot_;
    bool busy_ = false;
    bool gone_ = false;
    bool stopWriter_ = false;
    bool lastWriteOk_ = false;
    uint64_t posted_ = 0;
    uint64_t completed_ = 0;
    std::thread writer_;
};

}  // namespace hid

CHidDevice::CHidDevice(Diagnostics diag, InterfaceSource source)
    : diag_(orStdout(std::move(diag))), source_(source ? std::move(source) : hid::enumerateHidInterfaces) {}

CHidDevice::~CHidDevice() {
    hidStopReader();
    hidClose();
}

void CHidDevice::diag(const char* fmt, ...) {
    char line[256];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    diag_(line);
}

std::shared_ptr<hid::HidHandle> CHidDevice::current() const {
    std::lock_guard lock(mutex_);
    return handle_;
}

void CHidDevice::install(std::shared_ptr<hid::HidHandle> handle) {
    std::shared_ptr<hid::HidHandle> old;
    {
        std::lock_guard lock(mutex_);
        old = std::exchange(handle_, std::move(handle));
    }
    // A worker still reading the old node ends on its own and lets go of it; the node closes with the last user.
    if (old) old->retire();
}

bool CHidDevice::hidOpen(uint16_t product, uint16_t vendor) {
    openFailures_.clear();
    std::vector<hid::HidInterface> interfaces;
    if (!source_(interfaces)) return false;
    const std::size_t n = std::min<std::size_t>(interfaces.size(), hid::kMaxInterfaces);
    for (std::size_t index = 0; index < n; ++index) {
        const hid::HidInterface& itf = interfaces[index];
        // The identifiers come from sysfs, so only a candidate is opened: opening every node would fail on
        // most of them for want of permission and say so for nothing.
        if (itf.vendorId != vendor || itf.productId != product) continue;
        int error = 0;
        std::string why;
        auto handle = hid::HidHandle::open(itf.path, error, why);
        if (!handle) {
            diag("Could not open HID #%d, Errorcode = %d\n", static_cast<int>(index), error);
            openFailures_.push_back({itf.path, error});
            continue;
        }
        install(std::move(handle));
        return true;
    }
    return false;
}

bool CHidDevice::hidOpenPath(const std::string& path, std::string& error) {
    openFailures_.clear();
    int err = 0;
    auto handle = hid::HidHandle::open(path, err, error);
    if (!handle) {
        openFailures_.push_back({path, err});
        return false;
    }
    install(std::move(handle));
    return true;
}

void CHidDevice::hidClose() { install(nullptr); }

bool CHidDevice::isOpen() const { return current() != nullptr; }

void CHidDevice::hidReadLoop(const ReportCallback& onReport) {
    if (const auto handle = current()) readLoop(*handle, onReport);
}

void CHidDevice::readLoop(hid::HidHandle& handle, const ReportCallback& onReport) {
    // A handle retired by a later open ends its reader as a dropped running flag does.
    readReports(
        handle, [&] { return running_.load() && !handle.retired(); }, onReport,
        [this](std::string_view line) { diag("%.*s", static_cast<int>(line.size()), line.data()); });
}

bool CHidDevice::hidStartReader(ReportCallback onReport, std::function<void()> onEnd) {
    if (workerStarted_.load()) return false;
    const auto handle = current();
    if (!handle) return false;
    if (worker_.joinable()) worker_.join();  // an earlier worker that has ended on its own
    {
        std::lock_guard lock(mutex_);
        workerHandle_ = handle;
    }
    running_.store(true);
    workerStarted_.store(true);
    worker_ = std::thread([this, handle, onReport = std::move(onReport), onEnd = std::move(onEnd)] {
        readLoop(*handle, onReport);
        {
            std::lock_guard lock(mutex_);
            workerHandle_.reset();
        }
        workerStarted_.store(false);
        if (onEnd) onEnd();
    });
    return true;
}

void CHidDevice::hidStopReader() {
    running_.store(false);
    std::shared_ptr<hid::HidHandle> h;
    {
        std::lock_guard lock(mutex_);
        h = workerHandle_;
    }
    if (h) h->wake();
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) worker_.join();
}

std::string CHidDevice::describe() const {
    const auto h = current();
    return h ? h->path() : std::string("hidraw (not open)");
}

std::vector<std::pair<std::string, std::string>> CHidDevice::identity() const {
    const auto h = current();
    return h ? h->identity() : std::vector<std::pair<std::string, std::string>>{};
}

std::size_t CHidDevice::inputReportLength() const {
    const auto h = current();
    return h ? h->inputLength() : 0;
}

std::size_t CHidDevice::outputReportLength() const {
    const auto h = current();
    return h ? h->outputLength() : 0;
}

bool CHidDevice::write(std::span<const uint8_t> data) {
    const auto h = current();
    return h && h->write(data);
}

ReadStatus CHidDevice::read(std::vector<uint8_t>& report, int timeoutMs) {
    const auto h = current();
    if (!h) return ReadStatus::Gone;
    return h->read(report, timeoutMs);
}

void CHidDevice::interrupt() {
    if (const auto h = current()) h->wake();
}

}  // namespace qv7
