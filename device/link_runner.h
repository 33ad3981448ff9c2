// A single-threaded loop over one transport: reads reports, fires the step timer, until a condition holds.
#pragma once

#include <cstdint>
#include <functional>

#include "device/clock.h"
#include "device/link_session.h"

namespace qv7 {

class LinkRunner : public StepTimer {
public:
    LinkRunner(mfi& driver, HidTransport& transport, Clock& clock, LinkEventSink* app = nullptr);

    LinkSession& session() { return session_; }
    mfi& driver() { return driver_; }

    enum class Outcome { Done, TimedOut, Gone };
    // Runs until done() holds, the device goes away, or timeoutMs of the clock pass.
    Outcome runUntil(const std::function<bool()>& done, int64_t timeoutMs);
    // Runs until done() holds or the device goes away, for as long as progressed() reports progress
    // at least every idleMs of the clock: a slow conversation that keeps moving is never cut off,
    // one that stops is given up on (TimedOut) idleMs after its last step. progressed() must report
    // each bit of progress once, so that a device can only keep the loop going by really moving on.
    Outcome runWhileProgressing(const std::function<bool()>& done, const std::function<bool()>& progressed,
                                int64_t idleMs);

    Clock& clock() { return clock_; }

    void restart(int ms) override {
        deadline_ = clock_.nowMs() + ms;
        reportsBeforeTick_ = 0;
    }
    void stop() override {
        deadline_ = -1;
        reportsBeforeTick_ = 0;
    }
    long ticks() const { return ticks_; }

private:
    mfi& driver_;
    HidTransport& transport_;
    Clock& clock_;
    LinkSession session_;
    // The most reports a due tick waits for: what the window's report queue holds.
    static constexpr int kMaxReportsBeforeTick = 512;

    int64_t deadline_ = -1;
    int reportsBeforeTick_ = 0;  // handled since the tick fell due
    long ticks_ = 0;
};

}  // namespace qv7
