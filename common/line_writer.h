// Where diagnostic trace lines go: one line per call, without its line break.
#pragma once

#include <functional>
#include <string_view>

namespace qv7 {

using LineWriter = std::function<void(std::string_view)>;

}  // namespace qv7
