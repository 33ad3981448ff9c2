// Whatever answers a host's reports on the simulator's transports: the simulated Tolka or a replayed recording.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qv7::sim {

using Report = std::vector<uint8_t>;  // one input report's data bytes (64, report-ID byte excluded)

class ReportResponder {
public:
    virtual ~ReportResponder() = default;
    // One output report's data bytes in; the reports the device answers with out.
    virtual std::vector<Report> receive(std::span<const uint8_t> report) = 0;
    // Firmware images written completely so far, and the size of the last (for the server's log).
    virtual int updatesCompleted() const { return 0; }
    virtual std::size_t installedImageSize() const { return 0; }
};

}  // namespace qv7::sim
