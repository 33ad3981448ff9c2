// The names a Tolka goes by on the command line, shared by qv7ctl's --device and the panel's --device/--simulate.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv7 {

struct DeviceName {
    enum class Kind {
        FirstTolka,  // "hid": the first Tolka found on USB
        Hidraw,      // "/dev/hidrawN": that node
        Simulated,   // "sim" or "sim:VERSION": the in-process simulated Tolka
        Socket,      // "unix:PATH": a device on a local socket (qv7-sim --listen PATH)
    };
    Kind kind = Kind::FirstTolka;
    // Hidraw: the node's path; Simulated: the firmware version, empty for the simulator's own; Socket: the path.
    std::string argument;
};

// Nothing for a name that is none of the above, with `error` saying so. An empty text is not a name:
// a program without one chooses its own default.
std::optional<DeviceName> parseDeviceName(std::string_view text, std::string& error);

}  // namespace qv7
