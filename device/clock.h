// Time as the link's loops see it: the steady clock, or a clock a test moves by hand.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace qv7 {

class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t nowMs() const = 0;
    // True for a test clock: loops advance it instead of waiting.
    virtual bool manual() const { return false; }
    virtual void advance(int64_t) {}
};

class SteadyClock : public Clock {
public:
    int64_t nowMs() const override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

class ManualClock : public Clock {
public:
    int64_t nowMs() const override { return now_.load(); }
    bool manual() const override { return true; }
    void advance(int64_t ms) override { now_ += ms; }

private:
    std::atomic<int64_t> now_{0};
};

}  // namespace qv7
