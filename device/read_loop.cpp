// The report read loop shared by every reader.
#include "device/read_loop.h"

#include <utility>

namespace qv7 {

// Verbatim on purpose, misspelling included: tests and users' log readers match this line.
constexpr const char* kDisconnectLine = "device disconect\n";

ReadLoopEnd readReports(HidTransport& transport, const std::function<bool()>& goOn,
                        const std::function<void(std::vector<uint8_t>)>& onReport, const LineWriter& diag) {
    std::vector<uint8_t> report;
    while (goOn()) {
        const ReadStatus status = transport.read(report, -1);
        if (status == ReadStatus::Report) {
            onReport(std::move(report));
            report = {};
        } else if (status == ReadStatus::Gone) {
            if (diag) diag(kDisconnectLine);
            return ReadLoopEnd::Gone;
        }
        // Interrupted or a spurious time-out: `goOn` decides whether to go on.
    }
    return ReadLoopEnd::Stopped;
}

}  // namespace qv7
