// qv7ctl firmware check and firmware update: the version-check service, then the driver.
#include <cstdio>
#include <iostream>
#include <string_view>

#include "cli/commands.h"
#include "cli/firmware_cli.h"

namespace qv7::cli {

namespace {

FirmwareCliOptions onlineOptions(const Options& o) {
    FirmwareCliOptions f;
    f.json = o.json;
    f.yes = o.yes;
    // --timeout bounds every wait without progress: reaching the service, its silence, the device's.
    const long ms = static_cast<long>(o.timeoutSec) * 1000;
    f.http.connectTimeoutMs = ms;
    f.http.stallTimeoutMs = ms;
    f.stallTimeoutMs = ms;
    // Standard output belongs to the command's result (one JSON document with --json).
    f.http.diagnostics = [](std::string_view line) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
    };
    return f;
}

}  // namespace

int cmdFirmwareCheck(const Options& o, const Args& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "qv7ctl: firmware check takes no arguments\n");
        return kUsage;
    }
    DeviceConnection c(o);
    if (const int rc = c.open(); rc != kOk) return rc;
    const auto& id = c.driver().identity();
    return runFirmwareCheck(id.HardwareVersion, id.FirmwareVersion, onlineOptions(o), std::cout, std::cerr);
}

int cmdFirmwareUpdate(const Options& o, const Args& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "qv7ctl: firmware update takes no arguments (--yes skips the question)\n");
        return kUsage;
    }
    DeviceConnection c(o);
    if (const int rc = c.open(); rc != kOk) return rc;
    // A declined update is not done: the exit code says so to scripts.
    return runFirmwareUpdate(c.runner(), onlineOptions(o), std::cin, std::cout, std::cerr);
}

}  // namespace qv7::cli
