// Device names as both programs spell them; each program decides which kinds it can open.
#include "device/device_name.h"

namespace qv7 {

std::optional<DeviceName> parseDeviceName(std::string_view text, std::string& error) {
    using Kind = DeviceName::Kind;
    if (text == "hid") return DeviceName{Kind::FirstTolka, {}};
    if (text == "sim") return DeviceName{Kind::Simulated, {}};
    if (text.starts_with("sim:")) return DeviceName{Kind::Simulated, std::string(text.substr(4))};
    if (text.starts_with("unix:")) {
        // Connecting to "" would only fail later, with a message about the socket instead of the name.
        if (text.size() > 5) return DeviceName{Kind::Socket, std::string(text.substr(5))};
        error = "device 'unix:' names no socket (expected unix:PATH)";
        return std::nullopt;
    }
    if (text.starts_with("/dev/")) return DeviceName{Kind::Hidraw, std::string(text)};
    error = "unknown device '" + std::string(text) +
            "' (expected sim, sim:VERSION, unix:PATH or a hidraw path such as /dev/hidraw0)";
    return std::nullopt;
}

}  // namespace qv7
