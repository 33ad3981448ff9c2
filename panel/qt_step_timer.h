// STEP_TIMER: the driver's one-second pacing on a QTimer.
#pragma once

#include <QTimer>

#include <functional>

#include "device/link_session.h"

namespace qv7::panel {

class QtStepTimer : public StepTimer {
public:
    explicit QtStepTimer(std::function<void()> onTick) {
        QObject::connect(&timer_, &QTimer::timeout, [tick = std::move(onTick)] { tick(); });
    }
    // QTimer::start restarts a running timer: the next tick comes a full period later.
    void restart(int ms) override { timer_.start(ms); }
    void stop() override { timer_.stop(); }
    int interval() const { return timer_.interval(); }
    bool active() const { return timer_.isActive(); }

private:
    QTimer timer_;
};

}  // namespace qv7::panel
