// qv7ctl trace check: a recording read against what we know of the link.
#include <cstdio>

#include "cli/commands.h"
#include "device/recording_check.h"

namespace qv7::cli {

int cmdTraceCheck(const Options&, const Args& args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "qv7ctl: trace check needs one recording file\n");
        return kUsage;
    }
    Recording recording;
    std::string error;
    if (!readRecording(args[0], recording, error)) {
        std::fprintf(stderr, "qv7ctl: %s\n", error.c_str());
        return kUsage;
    }
    const RecordingCheck check = checkRecording(recording);
    for (const auto& a : check.anomalies) {
        if (a.line > 0) std::printf("%s:%zu: %s\n", args[0].c_str(), a.line, a.text.c_str());
        else std::printf("%s: %s\n", args[0].c_str(), a.text.c_str());
    }
    std::printf("%zu reports, %zu packets to the device, %zu from it, firmware %s: %zu anomal%s\n",
                recording.reports.size(), check.packetsToDevice, check.packetsFromDevice,
                check.firmwareVersion.empty() ? "unknown" : check.firmwareVersion.c_str(), check.anomalies.size(),
                check.anomalies.size() == 1 ? "y" : "ies");
    if (std::fflush(stdout) != 0) return kFailed;
    return check.anomalies.empty() ? kOk : kFailed;
}

}  // namespace qv7::cli
