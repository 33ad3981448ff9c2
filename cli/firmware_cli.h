// The firmware commands of qv7ctl: ask the service, then download, verify and write through the driver.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "cli/exit_codes.h"
#include "update/firmware_update.h"
#include "update/version_check.h"

namespace qv7 {

class LinkRunner;

struct FirmwareCliOptions {
    bool json = false;     // one JSON object on `out` instead of text
    bool yes = false;      // write without asking
    std::string checkUrl;  // empty: VersionCheckUrl()
    HttpOptions http;
    // The transfer to the device ends after this long without progress; one that keeps moving never does.
    int64_t stallTimeoutMs = 5000;
};

// The firmware check with every step's outcome kept, so the command line can say what failed.
struct FirmwareCheckResult {
    enum class Outcome { Offered, NothingOffered, RequestFailed, BadReply, Refused, DownloadFailed };
    Outcome outcome = Outcome::RequestFailed;
    std::string detail;  // what failed, with the value and what was expected
    std::optional<VersionCheckReply> reply;
    std::optional<FirmwareOffer> offer;  // set for Offered only
};

FirmwareCheckResult CheckFirmware(std::string_view hardwareVersion, std::string_view softwareVersion,
                                  const FirmwareCliOptions& options);

// `qv7ctl firmware check [--json]` for a device with these identity strings (GBK bytes as the driver
// holds them). Returns cli::kOk when the service answered, offer or not; cli::kFailed when it could
// not be asked, its reply was unusable or the offered image did not verify.
int runFirmwareCheck(std::string_view hardwareVersion, std::string_view softwareVersion,
                     const FirmwareCliOptions& options, std::ostream& out, std::ostream& err);

// `qv7ctl firmware update [--yes] [--json]` on a runner whose device has been identified (the
// driver holds HardwareVersion and FirmwareVersion). Checks, downloads and verifies, asks on
// `in` unless `yes`, writes with a progress bar on `out`, and returns cli::kOk when the device reported
// the update done or nothing was offered, cli::kNoDevice when the write made no progress for
// `stallTimeoutMs` or the device went away, and cli::kFailed otherwise, a declined update included
// (with --json, "update" tells them apart).
int runFirmwareUpdate(LinkRunner& runner, const FirmwareCliOptions& options, std::istream& in, std::ostream& out,
                      std::ostream& err);

}  // namespace qv7
