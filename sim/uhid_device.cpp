// uhid side of the simulator: kernel events in, the simulated device's answers out as input reports.
#include "sim/uhid_device.h"

#include <fcntl.h>
#include <linux/input.h>
#include <linux/uhid.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "common/system_error.h"

namespace qv7::sim {
namespace {

// Vendor page 0xFF00; one 64-byte input and one 64-byte output report, neither numbered.
// clang-format off
constexpr uint8_t kReportDescriptor[] = {
    0x06, 0x00, 0xFF,        // Usage Page (Vendor Defined 0xFF00)
    0x09, 0x01,              // Usage (0x01)
    0xA1, 0x01,              // Collection (Application)
    0x09, 0x02,              //   Usage (0x02)
    0x15, 0x00,              //   Logical Minimum (0)
    0x26, 0xFF, 0x00,        //   Logical Maximum (255)
    0x75, 0x08,              //   Report Size (8)
    0x95, 0x40,              //   Report Count (64)
    0x81, 0x02,              //   Input (Data, Variable, Absolute)
    0x09, 0x03,              //   Usage (0x03)
    0x15, 0x00,              //   Logical Minimum (0)
    0x26, 0xFF, 0x00,        //   Logical Maximum (255)
    0x75, 0x08,              //   Report Size (8)
    0x95, 0x40,              //   Report Count (64)
    0x91, 0x02,              //   Output (Data, Variable, Absolute)
    0xC0,                    // End Collection
};
// clang-format on

bool sendEvent(int fd, const uhid_event& ev) {
    ssize_t n;
    do {
        n = ::write(fd, &ev, sizeof ev);
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(sizeof ev);
}

void copyText(char* to, std::size_t size, const std::string& from) { std::snprintf(to, size, "%s", from.c_str()); }

void logReport(const char* dir, std::span<const uint8_t> r) {
    std::size_t n = r.size();
    while (n > 0 && r[n - 1] == 0) --n;  // padding says nothing
    std::fprintf(stderr, "%s", dir);
    for (std::size_t i = 0; i < n; ++i) std::fprintf(stderr, " %02X", r[i]);
    std::fprintf(stderr, "\n");
}

}  // namespace

std::unique_ptr<UhidDevice> UhidDevice::create(const Identity& id, const std::string& uhidPath, std::string& error) {
    const int fd = ::open(uhidPath.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        error =
            systemError("cannot open " + uhidPath, errno) + (errno == ENOENT ? " (is the uhid module loaded?)" : "");
        return nullptr;
    }
    uhid_event ev{};
    ev.type = UHID_CREATE2;
    copyText(reinterpret_cast<char*>(ev.u.create2.name), sizeof ev.u.create2.name, id.name);
    copyText(reinterpret_cast<char*>(ev.u.create2.phys), sizeof ev.u.create2.phys, "qv7-sim/uhid0");
    copyText(reinterpret_cast<char*>(ev.u.create2.uniq), sizeof ev.u.create2.uniq, id.serial);
    ev.u.create2.rd_size = sizeof kReportDescriptor;
    ev.u.create2.bus = BUS_USB;
    ev.u.create2.vendor = id.vendorId;
    ev.u.create2.product = id.productId;
    ev.u.create2.version = 0x0100;
    std::memcpy(ev.u.create2.rd_data, kReportDescriptor, sizeof kReportDescriptor);
    if (!sendEvent(fd, ev)) {
        error = systemError("UHID_CREATE2 refused", errno);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<UhidDevice>(new UhidDevice(fd));
}

UhidDevice::~UhidDevice() {
    destroy();
    ::close(fd_);
}

void UhidDevice::destroy() {
    if (destroyed_) return;
    uhid_event ev{};
    ev.type = UHID_DESTROY;
    sendEvent(fd_, ev);
    destroyed_ = true;
}

bool UhidDevice::sendInput(std::span<const uint8_t> report) {
    uhid_event ev{};
    ev.type = UHID_INPUT2;
    const std::size_t n = std::min<std::size_t>(report.size(), kReportLength);
    std::copy_n(report.begin(), n, ev.u.input2.data);
    ev.u.input2.size = kReportLength;  // short answers go out zero-padded, as the device sends them
    return sendEvent(fd_, ev);
}

UhidDevice::Event UhidDevice::next(std::vector<uint8_t>& report) {
    uhid_event ev{};
    ssize_t n;
    do {
        n = ::read(fd_, &ev, sizeof ev);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return Event::Failed;
    switch (ev.type) {
    case UHID_OPEN:
        opened_ = true;
        return Event::Other;
    case UHID_CLOSE:
        opened_ = false;
        return Event::Other;
    case UHID_OUTPUT: {
        // hidraw hands uhid the whole buffer the host wrote: byte 0 is the report identifier (0 here).
        const std::size_t size = std::min<std::size_t>(ev.u.output.size, UHID_DATA_MAX);
        report.assign(kReportLength, 0);
        if (size > 1) std::copy_n(ev.u.output.data + 1, std::min(size - 1, kReportLength), report.begin());
        return Event::Output;
    }
    case UHID_GET_REPORT: {
        // No feature or input report can be fetched on request; the Tolka answers only through its input report.
        uhid_event reply{};
        reply.type = UHID_GET_REPORT_REPLY;
        reply.u.get_report_reply.id = ev.u.get_report.id;
        reply.u.get_report_reply.err = EIO;
        sendEvent(fd_, reply);
        return Event::Other;
    }
    case UHID_SET_REPORT: {
        uhid_event reply{};
        reply.type = UHID_SET_REPORT_REPLY;
        reply.u.set_report_reply.id = ev.u.set_report.id;
        reply.u.set_report_reply.err = EIO;
        sendEvent(fd_, reply);
        return Event::Other;
    }
    default:
        return Event::Other;
    }
}

int runUhidDevice(TolkaSim& device, const UhidOptions& o) {
    // The signals arrive on a descriptor beside the device's, so a stop is seen at once and the device is
    // destroyed cleanly rather than vanishing with the process.
    sigset_t stopSignals, previous;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
    const int sigFd = ::signalfd(-1, &stopSignals, SFD_CLOEXEC);

    std::string error;
    UhidDevice::Identity identity;
    identity.name = device.config().name;
    identity.serial = device.config().serial;
    auto dev = UhidDevice::create(identity, o.uhidPath, error);
    if (!dev || sigFd < 0) {
        std::fprintf(stderr, "qv7-sim: %s\n", dev ? "signalfd failed" : error.c_str());
        if (sigFd >= 0) ::close(sigFd);
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        return 1;
    }
    std::fprintf(stderr, "qv7-sim: Tolka (firmware %s, serial %s) on uhid as HID 0416:1290\n",
                 device.config().firmwareVersion.c_str(), device.config().serial.c_str());

    FaultInjector in(o.toDevice), out(o.toHost);
    long sent = 0;
    bool unplugged = false;
    int rc = 0;
    std::vector<uint8_t> report;
    while (!unplugged) {
        pollfd p[2] = {{dev->fd(), POLLIN, 0}, {sigFd, POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR) continue;
            rc = 1;
            break;
        }
        if (p[1].revents & POLLIN) {
            // Taken here, so it is not delivered again once the mask is restored.
            signalfd_siginfo info{};
            [[maybe_unused]] auto r = ::read(sigFd, &info, sizeof info);
            break;
        }
        if (!(p[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        const auto event = dev->next(report);
        if (event == UhidDevice::Event::Failed) {
            std::fprintf(stderr, "qv7-sim: uhid: %s\n", std::strerror(errno));
            rc = 1;
            break;
        }
        if (event != UhidDevice::Event::Output) continue;
        for (auto& d : in.apply(std::move(report))) {
            d.bytes.resize(TolkaSim::kReportLength, 0);
            if (o.verbose) logReport("<-", d.bytes);
            for (auto& reply : device.receive(d.bytes)) {
                for (auto& delivery : out.apply(std::move(reply))) {
                    if (delivery.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delivery.delayMs));
                    if (o.verbose) logReport("->", delivery.bytes);
                    dev->sendInput(delivery.bytes);
                }
                if (o.unplugAfter >= 0 && ++sent >= o.unplugAfter) {
                    unplugged = true;
                    break;
                }
            }
            if (unplugged) break;
        }
        report = {};
    }
    dev->destroy();
    if (unplugged) std::fprintf(stderr, "qv7-sim: unplugged after %ld reports\n", sent);
    dev.reset();
    ::close(sigFd);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return rc;
}

}  // namespace qv7::sim
