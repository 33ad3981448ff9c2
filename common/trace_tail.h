// The last lines of the trace, kept so a user can paste them into a bug report.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "common/line_writer.h"

namespace qv7 {

class TraceTail {
public:
    // A line longer than this is kept cut, so a device that floods the trace cannot grow the tail without bound.
    static constexpr std::size_t kMaxLineBytes = 1024;

    explicit TraceTail(std::size_t lines);

    // A writer that keeps each line here and passes it on to `next` (standard output when empty). Safe from any
    // thread, and it may outlive this object.
    LineWriter tee(LineWriter next) const;
    // The kept lines, oldest first, without their line ends.
    std::vector<std::string> lines() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace qv7
