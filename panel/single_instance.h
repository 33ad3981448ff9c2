// One panel per user: the copy that claimed the name serves its socket, and each later start asks it to come
// forward (the claim itself, before anything else is built, is in instance_claim.h).
#pragma once

#include <QLocalServer>
#include <QObject>

#include <functional>

#include "panel/instance_claim.h"

class QLocalSocket;

namespace qv7::panel {

class SingleInstance : public QObject {
public:
    // Serves the claimed socket; `show` runs on the window thread once for each later start.
    SingleInstance(InstanceClaim claim, std::function<void()> show, QObject* parent = nullptr);

private:
    void serve(QLocalSocket* client);

    // Declared first so it is released last: the server removes its socket file while the lock is still held.
    InstanceClaim claim_;
    QLocalServer server_;
    std::function<void()> show_;
};

}  // namespace qv7::panel
