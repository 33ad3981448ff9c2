// qv7ctl beside the panel: one program at a time talks to a Tolka. A command takes the device's lock for as
// long as it runs; when the panel holds it, the commands the panel carries out for qv7ctl go to it over its
// local socket (common/handover_message.h), and the rest are refused with kInUse.
#pragma once

#include <optional>
#include <string>

#include "cli/commands.h"
#include "device/device_lock.h"

namespace qv7::cli {

// Whether `command` (its name as in the command table) talks to the Tolka, and whether the panel carries it out.
bool usesDevice(const std::string& command);
bool goesThroughPanel(const std::string& command);

// Before a command that talks to the Tolka: leaves the device's lock in `lock` and returns nothing to go on, or
// returns the exit code to end with, the command having been carried out by the panel or refused (with the
// panel's output or the reason printed). `words` is the command line's command and its arguments.
std::optional<int> takeDeviceOrHandOver(const Options& o, const std::string& command, const Args& words,
                                        DeviceLock& lock);

}  // namespace qv7::cli
