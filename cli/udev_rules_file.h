// udev/70-qv7.rules as shipped, compiled in at build time: `qv7ctl --print-udev-rules` prints it.
#pragma once

#include <cstddef>

namespace qv7::cli {

// The file's bytes (with a terminating NUL not counted in the size).
extern const char kUdevRulesFile[];
extern const std::size_t kUdevRulesFileSize;

}  // namespace qv7::cli
