// The folder for a user's sockets and lock files, shared by the panel and qv7ctl so both find the same names.
#pragma once

#include <string>

namespace qv7 {

// $XDG_RUNTIME_DIR, or else a 0700 folder of the user's in the temporary folder, created if missing. Empty, with
// the reason in `why`, when neither is the user's alone.
std::string privateRuntimeDir(std::string& why);

}  // namespace qv7
