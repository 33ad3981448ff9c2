// Plays the device side of a recording: each request of the program is answered with what the recorded device
// answered to the same request at that point of the conversation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "device/report_recording.h"
#include "sim/report_responder.h"

namespace qv7::sim {

class ReplayDevice : public ReportResponder {
public:
    explicit ReplayDevice(Recording recording, std::size_t reportLength = 64);

    // The recorded answers to `report`: the reports from the device that follow the matching request in the
    // recording, up to the next request. Requests are matched in order; a request that repeats one already
    // answered (a resend) is matched with the next recorded copy of it, so repeated requests get repeated answers.
    std::vector<Report> receive(std::span<const uint8_t> report) override;

    // Where the program's requests left the recording: one line per divergence, e.g.
    // "request 12 (line 40): differs at byte 5: recorded 0x07, sent 0x08".
    const std::vector<std::string>& divergences() const { return divergences_; }
    std::size_t requestsMatched() const { return matched_; }
    std::size_t requestsRecorded() const;
    // True once every recorded request has been matched.
    bool finished() const { return cursor_ >= recording_.reports.size(); }
    // Told of each divergence as it happens.
    std::function<void(const std::string&)> onDivergence;

private:
    std::vector<Report> answersFrom(std::size_t index);

    Recording recording_;
    std::size_t reportLength_;
    std::size_t cursor_ = 0;  // the next recorded report not yet played
    std::size_t requests_ = 0, matched_ = 0;
    std::vector<std::string> divergences_;
    std::size_t reported_ = 0;
};

}  // namespace qv7::sim
