// `NAME=VALUE` setting assignments, e.g. micVol=5 or eqGain[6]=30.
#pragma once

#include <optional>
#include <string>

#include "params/parameter_set.h"

namespace qv7 {

struct Assignment {
    const FieldInfo* field = nullptr;
    int value = 0;
};

// The field and a value from 0 to 255; nothing, with the message for the user in `error`, otherwise.
std::optional<Assignment> parseAssignment(const std::string& arg, std::string& error);

}  // namespace qv7
