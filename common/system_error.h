// The one shape of a failed system call's message: what was being done, on what, and the system's reason.
#pragma once

#include <string>
#include <string_view>

namespace qv7 {

// "WHAT: REASON", e.g. systemError("cannot open /dev/hidraw3", EACCES) -> "cannot open /dev/hidraw3: Permission
// denied".
std::string systemError(std::string_view what, int err);

}  // namespace qv7
