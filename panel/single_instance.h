// One panel per user: the copy that claimed the name serves its socket, and each later start asks it to come
// forward (the claim itself, before anything else is built, is in instance_claim.h). The same socket takes the
// commands qv7ctl hands over while the panel holds the Tolka (common/handover_message.h), one at a time.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/line_writer.h"
#include "panel/forwarded_commands.h"
#include "panel/instance_claim.h"
#include "panel/local_listener.h"

class QLocalSocket;

namespace qv7::panel {

class SingleInstance : public QObject {
public:
    // Serves the claimed socket; `show` runs on the window thread once for each later start. `trace` hears of
    // bursts of connections turned away.
    SingleInstance(InstanceClaim claim, std::function<void()> show, LineWriter trace = {}, QObject* parent = nullptr);
    // Without it, every hand-over is refused.
    void carryOut(std::unique_ptr<ForwardedCommands> commands) { commands_ = std::move(commands); }

private:
    struct Pending {
        QPointer<QLocalSocket> client;
        std::vector<std::string> args;
    };
    void serve(QLocalSocket* client);
    void request(QLocalSocket* client, const QByteArray& line);
    void runNext();
    void answer(QLocalSocket* client, const handover::Reply& reply);

    // Declared first so it is released last: the server removes its socket file while the lock is still held.
    InstanceClaim claim_;
    std::unique_ptr<LocalListener> listener_;
    std::function<void()> show_;
    std::unique_ptr<ForwardedCommands> commands_;
    std::deque<Pending> pending_;
    QPointer<QLocalSocket> running_;
    QTimer poll_;
};

}  // namespace qv7::panel
