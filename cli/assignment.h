// `NAME=VALUE` arguments of qv7ctl set: parsed where the panel, which carries out a set for qv7ctl, parses them too.
#pragma once

#include "params/field_assignment.h"

namespace qv7::cli {

using qv7::Assignment;
using qv7::parseAssignment;

}  // namespace qv7::cli
