#include "common/system_error.h"

#include <cstring>

namespace qv7 {

std::string systemError(std::string_view what, int err) {
    std::string text(what);
    text += ": ";
    text += std::strerror(err);
    return text;
}

}  // namespace qv7
