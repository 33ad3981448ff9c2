// Command-line pieces over real HID: finding a Tolka, `list`, `watch`, and the advice when access is denied.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "cli/exit_codes.h"
#include "device/hid_transport.h"
#include "hid/access_advice.h"

namespace qv7::hid {

// The first Tolka found, or the hidraw node `path` when it is not empty. On failure null, with `error` saying
// why (no Tolka, or a Tolka whose node the user may not open, with the udev rule that fixes it).
std::unique_ptr<HidTransport> openTolka(const std::string& path, std::string& error);
inline std::unique_ptr<HidTransport> openDefaultTolka(std::string& error) { return openTolka({}, error); }

// One line per Tolka: "PATH SERIAL" (or a JSON array). Nothing at all and cli::kNoDevice when there is none.
int cliList(std::ostream& out, bool json = false);

struct WatchOptions {
    int count = -1;       // stop after this many events; negative: never
    int timeoutMs = -1;   // stop after this long; negative: never
    bool allHid = false;  // every hidraw node, not only Tolkas
    bool json = false;
};

// Prints "arrival PATH SERIAL" and "removal PATH" as they happen; says on `status` which source it listens to once
// it does. cli::kOk when stopped by count, time or stopFd; cli::kNoDevice when no monitor can be had or time ran out
// before `count` events. `stopFd`, when readable, ends the watch (a signal's self-pipe).
int cliWatch(std::ostream& out, std::ostream& status, const WatchOptions& options, int stopFd = -1);

}  // namespace qv7::hid
