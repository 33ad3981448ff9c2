// The host side of the driver: when packets are written and the step timer re-armed.
#include "device/link_session.h"

namespace qv7 {

LinkSession::LinkSession(mfi& driver, StepTimer& timer, LinkEventSink* app)
    : driver_(driver), timer_(timer), app_(app) {
    driver_.setEventSink(this);
}

void LinkSession::writePending() {
    if (driver_.pendingLength() == 0 || transport_ == nullptr) return;
    // A failed write is lost; the step timer repeats the step one second later.
    transport_->write(driver_.pendingPacket());
    ++packetsWritten_;
}

void LinkSession::connect(int startMode) {
    driver_.setStartMode(startMode);
    driver_.mfiInit();
    driver_.mfiStart();
    timer_.restart(mfi::kStepTimerMs);
}

void LinkSession::onReport(std::span<const uint8_t> report) {
    driver_.mfiReceive(report);
    writePending();
    driver_.clearPending();
    // An answer that leaves a step outstanding keeps the timer's phase: the step repeats on time.
    sleepIfIdle();
}

void LinkSession::onTimer() {
    driver_.mfiStep();
    // Not cleared here: the next flush or step replaces it.
    writePending();
    sleepIfIdle();
}

void LinkSession::deviceGone() {
    driver_.mfiInit();
    sleepIfIdle();
}

void LinkSession::sleepIfIdle() {
    if (driver_.mfiIdle() && !(ticksWanted_ && ticksWanted_())) timer_.stop();
}

void LinkSession::onLinkEvent(int wParam, int lParam) {
    if (isEvent(wParam, lParam, ev::kPacketReady)) {
        writePending();
        driver_.clearPending();
        timer_.restart(mfi::kStepTimerMs);
    } else if (isEvent(wParam, lParam, ev::kProgress)) {
        timer_.restart(mfi::kStepTimerMs);
    }
    if (app_) app_->onLinkEvent(wParam, lParam);
}

}  // namespace qv7
