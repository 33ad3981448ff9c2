// Checks a recorded conversation against what the panel knows of the link, so a recording of an odd device points
// at the difference at once: framing, checksums, sequence numbers, the handshake's order, replies that answer a
// request, and parameter reports within their ranges.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "device/report_recording.h"

namespace qv7 {

struct RecordingAnomaly {
    std::size_t line = 0;  // in the recording file
    std::string text;
};

struct RecordingCheck {
    std::vector<RecordingAnomaly> anomalies;
    std::size_t packetsToDevice = 0, packetsFromDevice = 0;
    std::string firmwareVersion;  // as the device identified itself, when it did
};

RecordingCheck checkRecording(const Recording& recording);

}  // namespace qv7
