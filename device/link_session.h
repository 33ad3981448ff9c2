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

private:
    void writePending();

    mfi& driver_;
    StepTimer& timer_;
    LinkEventSink* app_;
    HidTransport* transport_ = nullptr;
    std::function<bool()> ticksWanted_;
    long packetsWritten_ = 0;
};

}  // namespace qv7
