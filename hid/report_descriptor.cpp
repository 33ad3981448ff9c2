// Walks a report descriptor's items and adds up the bits of each report's main items.
#include "hid/report_descriptor.h"

#include <algorithm>
#include <vector>

namespace qv7::hid {
namespace {

enum ItemType : uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };
enum MainTag : uint8_t { kInput = 0x8, kOutput = 0x9, kFeature = 0xB };
enum GlobalTag : uint8_t { kReportSize = 0x7, kReportId = 0x8, kReportCount = 0x9, kPush = 0xA, kPop = 0xB };
constexpr uint8_t kLongItemPrefix = 0xFE;
// The kernel keeps four; a little headroom costs nothing and still bounds a hostile descriptor.
constexpr std::size_t kMaxPushDepth = 16;
constexpr uint64_t kMaxReportBits = kMaxReportBytes * 8;

struct Globals {
    uint64_t reportSize = 0;
    uint64_t reportCount = 0;
    int reportId = -1;  // -1: no Report ID item seen, the unnumbered report
};

struct BitCounts {
    uint64_t input = 0, output = 0, feature = 0;
};

std::size_t toBytes(uint64_t bits) { return static_cast<std::size_t>((bits + 7) / 8); }

ReportLengths toLengths(const BitCounts& b) { return {toBytes(b.input), toBytes(b.output), toBytes(b.feature)}; }

}  // namespace

std::optional<ReportDescriptorInfo> parseReportDescriptor(std::span<const uint8_t> d) {
    Globals g;
    std::vector<Globals> stack;
    BitCounts unnumbered;
    std::map<uint8_t, BitCounts> numbered;

    std::size_t i = 0;
    while (i < d.size()) {
        const uint8_t prefix = d[i];
        if (prefix == kLongItemPrefix) {
            // Long items carry vendor data only; they never change report layout.
            if (d.size() - i < 3) return std::nullopt;
            const std::size_t dataSize = d[i + 1];
            if (d.size() - i - 3 < dataSize) return std::nullopt;
            i += 3 + dataSize;
            continue;
        }
        const std::size_t sizeCode = prefix & 0x3u;
        const std::size_t size = sizeCode == 3 ? 4 : sizeCode;
        const uint8_t type = (prefix >> 2) & 0x3u;
        const uint8_t tag = prefix >> 4;
        if (d.size() - i - 1 < size) return std::nullopt;
        uint64_t value = 0;
        for (std::size_t k = 0; k < size; ++k) value |= static_cast<uint64_t>(d[i + 1 + k]) << (8 * k);
        i += 1 + size;

        if (type == kGlobal) {
            switch (tag) {
            case kReportSize:
                g.reportSize = value;
                break;
            case kReportCount:
                g.reportCount = value;
                break;
            case kReportId:
                if (value == 0 || value > 0xFF) return std::nullopt;
                g.reportId = static_cast<int>(value);
                break;
            case kPush:
                if (stack.size() == kMaxPushDepth) return std::nullopt;
                stack.push_back(g);
                break;
            case kPop:
                if (stack.empty()) return std::nullopt;
                g = stack.back();
                stack.pop_back();
                break;
            default:
                break;
            }
        } else if (type == kMain && (tag == kInput || tag == kOutput || tag == kFeature)) {
            BitCounts& counts = g.reportId < 0 ? unnumbered : numbered[static_cast<uint8_t>(g.reportId)];
            uint64_t& total = tag == kInput ? counts.input : tag == kOutput ? counts.output : counts.feature;
            // Size and count each fit in 32 bits, so their product fits in 64 bits; checking before adding
            // keeps the sum from wrapping.
            const uint64_t bits = g.reportSize * g.reportCount;
            if (bits > kMaxReportBits - total) return std::nullopt;
            total += bits;
        }
        // Local items and collections describe usages, not layout.
    }

    ReportDescriptorInfo info;
    info.unnumbered = toLengths(unnumbered);
    for (const auto& [id, counts] : numbered) info.numbered[id] = toLengths(counts);
    return info;
}

std::optional<std::vector<uint8_t>> frameOutputReport(std::span<const uint8_t> data, std::size_t outputLength) {
    if (data.size() > outputLength) return std::nullopt;
    std::vector<uint8_t> frame(outputLength + 1, 0);
    std::copy(data.begin(), data.end(), frame.begin() + 1);
    return frame;
}

std::vector<uint8_t> inputReportData(std::span<const uint8_t> raw, std::size_t inputLength, bool numbered) {
    if (numbered && !raw.empty()) raw = raw.subspan(1);
    std::vector<uint8_t> data(inputLength, 0);
    std::copy_n(raw.begin(), std::min(raw.size(), inputLength), data.begin());
    return data;
}

}  // namespace qv7::hid
