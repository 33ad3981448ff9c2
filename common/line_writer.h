// Where diagnostic trace lines go. Every layer that traces takes a LineWriter; one left empty means
// standard output, through the one default below.
#pragma once

#include <functional>
#include <string_view>

namespace qv7 {

// Receives one trace line per call. Most lines carry their own "\n"; one without gets it from the default.
using LineWriter = std::function<void(std::string_view)>;

// Writes the line to standard output and flushes at once, so the last lines before a crash are not lost.
void writeLineToStdout(std::string_view line);

// `writer`, or standard output when it is empty.
LineWriter orStdout(LineWriter writer);

}  // namespace qv7
