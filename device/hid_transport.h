// The one contract between the driver's host and a device: opaque reports in and out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace qv7 {

enum class ReadStatus { Report, Timeout, Interrupted, Gone };

// Report lengths exclude the report-ID byte: a Tolka moves 64 data bytes each way.
class HidTransport {
public:
    virtual ~HidTransport() = default;
    virtual std::string describe() const = 0;
    virtual std::size_t inputReportLength() const = 0;
    virtual std::size_t outputReportLength() const = 0;
    // One output report, zero-filled to the output length. False when dropped (too long, device gone, timed out).
    virtual bool write(std::span<const uint8_t> data) = 0;
    // Waits up to timeoutMs (negative: no limit) for one input report.
    virtual ReadStatus read(std::vector<uint8_t>& report, int timeoutMs) = 0;
    // Wakes a read blocked on another thread; it returns Interrupted.
    virtual void interrupt() = 0;
    // What the transport knows of the device beyond its name, as (what, value) pairs for a recording's header:
    // the bus's identifiers, the interface, the report descriptor. Nothing that identifies the owner.
    virtual std::vector<std::pair<std::string, std::string>> identity() const { return {}; }
};

}  // namespace qv7
