// The simulated Tolka as a kernel HID device through /dev/uhid, so the real hidraw path can be exercised.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sim/fault_injector.h"
#include "sim/tolka_sim.h"

namespace qv7::sim {

struct UhidOptions {
    FaultConfig toDevice;
    FaultConfig toHost;
    long unplugAfter = -1;  // destroy the device after sending this many reports; negative: never
    bool verbose = false;   // every report on standard error
    std::string uhidPath = "/dev/uhid";
};

// A vendor-defined device with one 64-byte input and one 64-byte output report and no report identifiers.
class UhidDevice {
public:
    static constexpr std::size_t kReportLength = 64;

    struct Identity {
        std::string name = "Tolka";
        std::string serial;  // becomes HID_UNIQ, which hidapi reports as the serial number
        uint16_t vendorId = 0x0416;
        uint16_t productId = 0x1290;
    };

    // Null with a reason when /dev/uhid cannot be opened or refuses the device.
    static std::unique_ptr<UhidDevice> create(const Identity& identity, const std::string& uhidPath,
                                              std::string& error);
    ~UhidDevice();  // destroys the device if it still exists
    UhidDevice(const UhidDevice&) = delete;
    UhidDevice& operator=(const UhidDevice&) = delete;

    int fd() const { return fd_; }
    bool opened() const { return opened_; }  // some host holds the hidraw node open

    enum class Event { Output, Other, Failed };
    // Reads one kernel event. For Output, `report` holds the output report's data bytes (report-ID byte removed,
    // padded to 64).
    Event next(std::vector<uint8_t>& report);
    bool sendInput(std::span<const uint8_t> report);
    void destroy();

private:
    explicit UhidDevice(int fd) : fd_(fd) {}
    int fd_;
    bool opened_ = false;
    bool destroyed_ = false;
};

// Plays `device` as a kernel HID device until SIGINT or SIGTERM (then destroys it and returns 0), or until
// options.unplugAfter reports are sent. Returns 1 with a message on standard error when uhid cannot be had.
int runUhidDevice(TolkaSim& device, const UhidOptions& options);

}  // namespace qv7::sim
