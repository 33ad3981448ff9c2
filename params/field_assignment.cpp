// Parsing of setting assignments (qv7ctl set, and the panel carrying one out for it); the range check against
// the firmware happens later, on the device.
#include "params/field_assignment.h"

#include <charconv>

namespace qv7 {

std::optional<Assignment> parseAssignment(const std::string& arg, std::string& error) {
    const auto eq = arg.find('=');
    if (eq == std::string::npos || eq == 0) {
        error = "expected NAME=VALUE, got '" + arg + "'";
        return std::nullopt;
    }
    const std::string name = arg.substr(0, eq), text = arg.substr(eq + 1);
    int value = -1;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || value < 0 || value > 255) {
        error = "value of " + name + " must be a number from 0 to 255, got '" + text + "'";
        return std::nullopt;
    }
    Assignment a;
    a.value = value;
    a.field = findField(name);
    if (!a.field) {
        error = "unknown setting '" + name + "' (see qv7ctl get for the names)";
        return std::nullopt;
    }
    return a;
}

}  // namespace qv7
