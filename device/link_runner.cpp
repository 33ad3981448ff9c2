// Synchronous event loop for the command line and for conversation tests.
#include "device/link_runner.h"

#include <algorithm>
#include <vector>

namespace qv7 {

namespace {
constexpr int64_t kManualStepMs = 10;  // how far a test clock moves while nothing is waiting
}

LinkRunner::LinkRunner(mfi& driver, HidTransport& transport, Clock& clock, LinkEventSink* app)
    : driver_(driver), transport_(transport), clock_(clock), session_(driver, *this, app) {
    session_.setTransport(&transport_);
}

LinkRunner::Outcome LinkRunner::runUntil(const std::function<bool()>& done, int64_t timeoutMs) {
    const int64_t end = clock_.nowMs() + timeoutMs;
    std::vector<uint8_t> report;
    while (!done()) {
        const int64_t now = clock_.nowMs();
        if (now >= end) return Outcome::TimedOut;
        if (deadline_ >= 0 && now >= deadline_) {
            // Reports already waiting come before the tick, as a window's queue puts posted messages before
            // WM_TIMER: an answer that arrived with the tick must not see its request sent again. One that sets
            // the timer again (or stops it) voids the tick. A device that floods holds the tick off for at most
            // a queue's worth of reports.
            if (reportsBeforeTick_ < kMaxReportsBeforeTick) {
                const ReadStatus st = transport_.read(report, 0);
                if (st == ReadStatus::Gone) return Outcome::Gone;
                if (st == ReadStatus::Report) {
                    ++reportsBeforeTick_;
                    session_.onReport(report);
                    continue;
                }
            }
            reportsBeforeTick_ = 0;
            deadline_ = now + mfi::kStepTimerMs;  // a periodic timer: the tick re-arms itself
            ++ticks_;
            session_.onTimer();
            continue;
        }
        int64_t wait = end - now;
        if (deadline_ >= 0) wait = std::min(wait, deadline_ - now);
        const ReadStatus st = transport_.read(report, clock_.manual() ? 0 : static_cast<int>(wait));
        switch (st) {
        case ReadStatus::Report:
            session_.onReport(report);
            break;
        case ReadStatus::Gone:
            return Outcome::Gone;
        case ReadStatus::Timeout:
        case ReadStatus::Interrupted:
            if (clock_.manual()) clock_.advance(std::min(wait, kManualStepMs));
            break;
        }
    }
    return Outcome::Done;
}

LinkRunner::Outcome LinkRunner::runWhileProgressing(const std::function<bool()>& done,
                                                    const std::function<bool()>& progressed, int64_t idleMs) {
    for (;;) {
        bool moved = false;
        const Outcome o = runUntil(
            [&] {
                if (done()) return true;
                moved = progressed();
                return moved;
            },
            idleMs);
        if (o != Outcome::Done || !moved) return o;
    }
}

}  // namespace qv7
