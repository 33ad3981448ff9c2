// qv7ctl beside the panel: one program at a time talks to a Tolka. A command takes the device's lock for as
// long as it runs; when the panel holds it, the commands the panel carries out for qv7ctl go to it over its
// local socket (common/handover_message.h), and the rest are refused with kInUse.
#pragma once

#include <optional>
#include <string>
#include <string_view>

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

// The preset library's commands that need no device (preset list, show, delete, import): carried out by the
// running panel, whichever Tolka it holds or none, on the list its window shows, so the two programs keep one
// library. Returns the exit code, the panel's output printed, or nothing when no panel answers on the user's
// socket (the command then runs here). `attachment`: an import's document, checked against its bound already.
std::optional<int> askRunningPanel(const Options& o, const Args& words,
                                   std::optional<std::string_view> attachment = std::nullopt);

}  // namespace qv7::cli
