// Report lengths read from a HID report descriptor's main items, and the framing of reports on a hidraw node.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace qv7::hid {

// Data bytes of one report, report-ID byte excluded.
struct ReportLengths {
    std::size_t input = 0;
    std::size_t output = 0;
    std::size_t feature = 0;
    bool operator==(const ReportLengths&) const = default;
};

struct ReportDescriptorInfo {
    ReportLengths unnumbered;                   // the report without an identifier (items before any Report ID)
    std::map<uint8_t, ReportLengths> numbered;  // by report identifier
    bool usesReportIds() const { return !numbered.empty(); }
};

// The kernel refuses reports longer than this; a descriptor asking for more is not one we talk to.
inline constexpr std::size_t kMaxReportBytes = 16384;

// Null for a descriptor that is truncated, pops more than it pushed, uses report identifier 0,
// or declares a report longer than kMaxReportBytes.
std::optional<ReportDescriptorInfo> parseReportDescriptor(std::span<const uint8_t> descriptor);

// The bytes written to a hidraw node for one output report: identifier byte 0, the data, zeros up to
// outputLength data bytes. Null when the data do not fit (the report is dropped, not cut).
std::optional<std::vector<uint8_t>> frameOutputReport(std::span<const uint8_t> data, std::size_t outputLength);

// One input report's data bytes from what a hidraw read returned: the identifier byte removed when the
// device numbers its reports, then cut or zero-padded to inputLength.
std::vector<uint8_t> inputReportData(std::span<const uint8_t> raw, std::size_t inputLength, bool numbered);

}  // namespace qv7::hid
