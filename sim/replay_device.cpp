// Replaying a recording's device side.
#include "sim/replay_device.h"

#include <algorithm>
#include <cstdio>

namespace qv7::sim {

namespace {

// Recordings leave out the reports' zero padding: compare what is significant on both sides.
std::span<const uint8_t> significant(std::span<const uint8_t> r) {
    std::size_t n = r.size();
    while (n > 0 && r[n - 1] == 0) --n;
    return r.first(n);
}

bool sameReport(std::span<const uint8_t> a, std::span<const uint8_t> b) {
    const auto x = significant(a), y = significant(b);
    return std::equal(x.begin(), x.end(), y.begin(), y.end());
}

std::string firstDifference(std::span<const uint8_t> recorded, std::span<const uint8_t> sent) {
    const auto r = significant(recorded), s = significant(sent);
    std::size_t i = 0;
    while (i < r.size() && i < s.size() && r[i] == s[i]) ++i;
    auto at = [](std::span<const uint8_t> v, std::size_t k) {
        char b[8];
        if (k >= v.size()) return std::string("(end)");
        std::snprintf(b, sizeof b, "0x%02x", v[k]);
        return std::string(b);
    };
    return "differs at byte " + std::to_string(i) + ": recorded " + at(r, i) + ", sent " + at(s, i);
}

}  // namespace

ReplayDevice::ReplayDevice(Recording recording, std::size_t reportLength)
    : recording_(std::move(recording)), reportLength_(reportLength) {}

std::size_t ReplayDevice::requestsRecorded() const {
    return static_cast<std::size_t>(
        std::count_if(recording_.reports.begin(), recording_.reports.end(),
                      [](const auto& r) { return r.direction == ReportDirection::ToDevice; }));
}

std::vector<Report> ReplayDevice::answersFrom(std::size_t index) {
    std::vector<Report> out;
    std::size_t i = index;
    for (; i < recording_.reports.size() && recording_.reports[i].direction == ReportDirection::FromDevice; ++i) {
        Report r = recording_.reports[i].bytes;
        r.resize(std::max(reportLength_, r.size()), 0);
        out.push_back(std::move(r));
    }
    cursor_ = i;
    return out;
}

std::vector<Report> ReplayDevice::receive(std::span<const uint8_t> report) {
    ++requests_;
    const auto& all = recording_.reports;
    // The next recorded request, and the first recorded copy of this one from here on.
    std::size_t expected = cursor_;
    while (expected < all.size() && all[expected].direction != ReportDirection::ToDevice) ++expected;
    std::size_t match = expected;
    while (match < all.size() &&
           !(all[match].direction == ReportDirection::ToDevice && sameReport(all[match].bytes, report)))
        ++match;
    if (expected < all.size() && match != expected) {
        divergences_.push_back("request " + std::to_string(requests_) + " (line " + std::to_string(all[expected].line) +
                               "): " + firstDifference(all[expected].bytes, report));
    } else if (expected >= all.size()) {
        divergences_.push_back("request " + std::to_string(requests_) + ": the recording has no more requests");
    }
    if (onDivergence && divergences_.size() > reported_) onDivergence(divergences_.back());
    reported_ = divergences_.size();
    if (match >= all.size()) return {};  // nothing recorded answers it: the device stays silent, as a lost report
    ++matched_;
    return answersFrom(match + 1);
}

}  // namespace qv7::sim
