// Setting assignments (micVol=5, eqGain[6]=30) turned into the records a device takes, checked against its
// firmware before anything is sent: qv7ctl set, and the panel carrying out a set for qv7ctl, decide alike.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "device/mfi.h"
#include "params/field_assignment.h"

namespace qv7 {

struct SettingChanges {
    ParameterSet parameters;
    AdvancedSettings advanced;
    bool parametersChanged = false;
    bool advancedChanged = false;
};

// `parameters` and `advanced` with `changes` made, for the device `d` has identified; nothing, with the message in
// `error`, when a field is not a setting of its firmware or a value is outside the range it takes.
std::optional<SettingChanges> applyAssignments(const mfi& d, ParameterSet parameters, AdvancedSettings advanced,
                                               std::span<const Assignment> changes, std::string& error);

}  // namespace qv7
