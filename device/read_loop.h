// The one loop over a device's input reports, for the panel's reader and the hidraw transport's alike.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "common/line_writer.h"
#include "device/hid_transport.h"

namespace qv7 {

enum class ReadLoopEnd { Stopped, Gone };

// Reads `transport` until `goOn` says no (asked before every read) or the device goes away; a device that
// went is announced on `diag` before the loop returns, so every reader's log says it the same way.
// `onReport` gets each report in its own buffer and may keep it. Everything runs on the calling thread.
ReadLoopEnd readReports(HidTransport& transport, const std::function<bool()>& goOn,
                        const std::function<void(std::vector<uint8_t>)>& onReport, const LineWriter& diag);

}  // namespace qv7
