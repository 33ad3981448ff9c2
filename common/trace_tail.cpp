#include "common/trace_tail.h"

#include <deque>
#include <mutex>

namespace qv7 {

struct TraceTail::State {
    std::mutex mutex;
    std::deque<std::string> lines;
    std::size_t capacity = 0;

    void keep(std::string_view line) {
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
        std::string kept(line.substr(0, kMaxLineBytes));
        std::lock_guard lock(mutex);
        if (capacity == 0) return;
        if (lines.size() == capacity) lines.pop_front();
        lines.push_back(std::move(kept));
    }
};

TraceTail::TraceTail(std::size_t lines) : state_(std::make_shared<State>()) { state_->capacity = lines; }

LineWriter TraceTail::tee(LineWriter next) const {
    return [state = state_, next = orStdout(std::move(next))](std::string_view line) {
        state->keep(line);
        next(line);
    };
}

std::vector<std::string> TraceTail::lines() const {
    std::lock_guard lock(state_->mutex);
    return {state_->lines.begin(), state_->lines.end()};
}

}  // namespace qv7
