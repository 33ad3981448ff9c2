#include "common/line_writer.h"

#include <cstdio>
#include <utility>

namespace qv7 {

void writeLineToStdout(std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    if (line.empty() || line.back() != '\n') std::fputc('\n', stdout);
    std::fflush(stdout);
}

LineWriter orStdout(LineWriter writer) {
    if (writer) return writer;
    return writeLineToStdout;
}

}  // namespace qv7
