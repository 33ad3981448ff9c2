// Hands a worker's result to the thread of a QObject as a queued call.
#pragma once

#include <QMetaObject>
#include <QObject>

#include <functional>

#include "panel/update_checks.h"

namespace qv7::panel {

// Calls queued on `context` are dropped if it is destroyed first.
inline UiPost queuedOn(QObject* context) {
    return [context](std::function<void()> call) {
        QMetaObject::invokeMethod(context, std::move(call), Qt::QueuedConnection);
    };
}

}  // namespace qv7::panel
