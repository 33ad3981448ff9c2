// Drives the driver the way the main window does: connect, reports, timer ticks, packet-ready writes.
#pragma once

#include <functional>
#include <span>

#include "device/hid_transport.h"
#include "device/mfi.h"

namespace qv7 {

// The step timer: "restart" kills and sets it.
class StepTimer {
public:
    virtual ~StepTimer() = default;
    virtual void restart(int ms) = 0;
    virtual void stop() = 0;
};

// The step timer as the session and its application set it. Each restart and stop is counted, so a tick
// that waited for reports can tell whether one of them set the timer again.
class CountedStepTimer : public StepTimer {
public:
    explicit CountedStepTimer(StepTimer& timer) : timer_(timer) {}
    void restart(int ms) override {
        ++sets_;
        timer_.restart(ms);
    }
    void stop() override {
        ++sets_;
        timer_.stop();
    }
    unsigned long sets() const { return sets_; }

private:
    StepTimer& timer_;
    unsigned long sets_ = 0;
};

class LinkSession : public LinkEventSink {
public:
    // `app` receives every driver event after the session has written the packet and re-armed the timer.
    LinkSession(mfi& driver, StepTimer& timer, LinkEventSink* app = nullptr);

    void setTransport(HidTransport* transport) { transport_ = transport; }
    HidTransport* transport() const { return transport_; }

    // Device opened and its reader running: mfiInit, startMode, mfiStart, timer at 1000 ms.
    void connect(int startMode);
    void onReport(std::span<const uint8_t> report);
    void onTimer();
    // The device has gone: the driver forgets it.
    void deviceGone();

    // The timer runs only while a tick could do something: the driver has a step to repeat or a packet
    // to write, or `wanted` (the application's own use of the ticks) says so. Every step the driver
    // builds re-arms it through packet-ready or progress, so a sleeping timer misses no work.
    void setTicksWanted(std::function<bool()> wanted) { ticksWanted_ = std::move(wanted); }
    void sleepIfIdle();

    void onLinkEvent(int wParam, int lParam) override;

    long packetsWritten() const { return packetsWritten_; }
    // The application's own re-arms go through here, so that timerSets() sees them too.
    StepTimer& timer() { return timer_; }
    // How often the timer has been set (restarted or stopped) so far. A tick that fell due before reports
    // that were still waiting is void when handling them set the timer again, as setting a window's timer
    // again drops the WM_TIMER it had waiting.
    unsigned long timerSets() const { return timer_.sets(); }

private:
    void writePending();

    mfi& driver_;
    CountedStepTimer timer_;
    LinkEventSink* app_;
    HidTransport* transport_ = nullptr;
    std::function<bool()> ticksWanted_;
    long packetsWritten_ = 0;
};

}  // namespace qv7
