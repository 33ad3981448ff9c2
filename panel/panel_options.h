// The panel's command line, read before any window system is touched so --help and --version work anywhere.
#pragma once

#include <string>
#include <vector>

namespace qv7::panel {

struct PanelOptions {
    enum class Action { Run, Help, Version, Refuse };
    Action action = Action::Run;
    // "hid", "sim", "sim:FIRMWARE" (empty firmware: the simulator's default) or "unix:PATH".
    std::string device = "hid";
    std::string screenshot;
    bool minimized = false;  // start hidden in the tray (shown all the same when there is no tray)
    bool trace = false;      // the online checks' libcurl lines on standard output too
    std::string record;      // every report both ways to this file (docs/reporting.md)
    bool recordRaw = false;  // ... with the serial numbers kept
    std::string error;       // what to tell the user when the action is Refuse
};

// args without the program name. Qt's own options (-platform X, -style X, ...) are passed over untouched:
// QApplication takes them out later.
PanelOptions parsePanelOptions(const std::vector<std::string>& args);

const char* panelUsage();

}  // namespace qv7::panel
