// The Tolka on a Linux hidraw node: enumeration through hidapi, report I/O on the node with a wake-up descriptor.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/line_writer.h"
#include "device/hid_transport.h"

namespace qv7 {

namespace hid {

inline constexpr uint16_t kTolkaVendorId = 0x0416;
inline constexpr uint16_t kTolkaProductId = 0x1290;
inline constexpr int kMaxInterfaces = 300;

struct HidInterface {
    std::string path;  // /dev/hidrawN
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;  // UTF-8; empty when the device has none
    std::string product;
};

// Every HID interface present, each once, ordered by hidraw number so the same set always walks the same way.
// False when the system's list cannot be had.
bool enumerateHidInterfaces(std::vector<HidInterface>& out);

// The Tolkas among them, in the same order.
std::vector<HidInterface> enumerateTolkas();

class HidHandle;

}  // namespace hid

struct HidOpenFailure {
    std::string path;
    int error = 0;  // errno of open(2)
};

class CHidDevice : public HidTransport {
public:
    using Diagnostics = LineWriter;
    // Each report in its own buffer, so the consumer may queue it while the next one is read.
    using ReportCallback = std::function<void(std::vector<uint8_t>)>;

    // The interfaces hidOpen chooses from: the system's list (enumerateHidInterfaces) unless a stand-in is given,
    // so a test can offer a node of its own making as a Tolka.
    using InterfaceSource = std::function<bool(std::vector<hid::HidInterface>&)>;

    // Diagnostic lines go to standard output unless `diag` says otherwise.
    explicit CHidDevice(Diagnostics diag = {}, InterfaceSource source = {});
    ~CHidDevice() override;
    CHidDevice(const CHidDevice&) = delete;
    CHidDevice& operator=(const CHidDevice&) = delete;

    // Opens the first interface (of at most 300) with these identifiers; a success retires the open handle.
    bool hidOpen(uint16_t product, uint16_t vendor);
    // Opens one hidraw node, whatever it is; says why not in `error`.
    bool hidOpenPath(const std::string& path, std::string& error);
    void hidClose();
    bool isOpen() const;
    // Interfaces that matched in the last hidOpen but could not be opened (permission, busy, gone).
    const std::vector<HidOpenFailure>& openFailures() const { return openFailures_; }

    bool hidWrite(const uint8_t* bytes, std::size_t length) { return write({bytes, length}); }

    // Reads reports from the handle open when it starts, until the running flag drops, the device goes
    // (after "device disconect") or a later open retires that handle.
    void hidReadLoop(const ReportCallback& onReport);
    void setRunning(bool running) { running_.store(running); }
    bool running() const { return running_.load(); }

    // The read worker: hidReadLoop on its own thread. False when one runs already or nothing is open.
    // `onEnd` runs on the worker after the loop, once the worker-started flag is clear.
    bool hidStartReader(ReportCallback onReport, std::function<void()> onEnd = {});
    // Drops the running flag, wakes the worker and joins it.
    void hidStopReader();
    bool workerStarted() const { return workerStarted_.load(); }

    std::string describe() const override;
    std::vector<std::pair<std::string, std::string>> identity() const override;
    std::size_t inputReportLength() const override;
    std::size_t outputReportLength() const override;
    bool write(std::span<const uint8_t> data) override;
    ReadStatus read(std::vector<uint8_t>& report, int timeoutMs) override;
    void interrupt() override;

private:
    std::shared_ptr<hid::HidHandle> current() const;
    void install(std::shared_ptr<hid::HidHandle> handle);
    void readLoop(hid::HidHandle& handle, const ReportCallback& onReport);
    void diag(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

    Diagnostics diag_;
    InterfaceSource source_;
    mutable std::mutex mutex_;  // guards handle_ and workerHandle_
    std::shared_ptr<hid::HidHandle> handle_;
    std::shared_ptr<hid::HidHandle> workerHandle_;
    std::vector<HidOpenFailure> openFailures_;
    std::atomic<bool> running_{false};
    std::atomic<bool> workerStarted_{false};
    std::thread worker_;
};

}  // namespace qv7
