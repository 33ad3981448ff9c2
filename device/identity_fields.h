// The device's identity as one list of named texts, so `qv7ctl info` and the panel's diagnostics say the same.
#pragma once

#include <string>
#include <vector>

#include "device/mfi.h"

namespace qv7 {

struct IdentityField {
    std::string name;   // as in `qv7ctl info --json`
    std::string value;  // UTF-8 for display
};

// `device` names where the Tolka is (a hidraw path, "simulated", a socket).
std::vector<IdentityField> identityFields(const mfi& driver, std::string device);

}  // namespace qv7
