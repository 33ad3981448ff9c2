// Text that came from outside (a device's name and serial, a trace line), made safe to show as one line.
#pragma once

#include <string>
#include <string_view>

namespace qv7 {

// `text` (UTF-8) with everything that could move the cursor, start a terminal escape sequence or break
// the line written as an escape: \n, \r, \t and \\ for those characters, \xNN for the other C0 controls,
// DEL and bytes that are not UTF-8, \u{NNNN} for the C1 controls, the line and paragraph separators and
// the bidirectional overrides. Everything else is kept, Chinese included; plain text comes back unchanged.
std::string escapeControls(std::string_view text);

}  // namespace qv7
