// The running copy's side of the handshake with a later start.
#include "panel/single_instance.h"

#include <QLocalSocket>
#include <QTimer>

#include <cstdio>

namespace qv7::panel {

namespace {
// Whatever connects is only another program of the user's, but it gets a line of bounded length and a
// bounded time to send it.
constexpr qint64 kMaxRequest = 64;
constexpr int kClientTimeoutMs = 10000;
}  // namespace

SingleInstance::SingleInstance(InstanceClaim claim, std::function<void()> show, QObject* parent)
    : QObject(parent), claim_(std::move(claim)), show_(std::move(show)) {
    const int fd = claim_.takeListeningSocket();
    if (fd < 0 || !server_.listen(fd)) {
        std::fprintf(stderr, "qv7-panel: cannot serve %s: %s\n", claim_.socketPath().c_str(),
                     server_.errorString().toLocal8Bit().constData());
        return;
    }
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server_.nextPendingConnection()) serve(client);
    });
}

void SingleInstance::serve(QLocalSocket* client) {
    connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    QTimer::singleShot(kClientTimeoutMs, client, [client] {
        client->abort();
        client->deleteLater();
    });
    auto onData = [this, client] {
        if (!client->canReadLine()) {
            if (client->bytesAvailable() > kMaxRequest) {
                client->abort();
                client->deleteLater();
            }
            return;
        }
        const QByteArray line = client->readLine(kMaxRequest + 1);
        if (line == kShowRequest) {
            show_();
            client->write(kShownReply);
        }
        // Sends what was written first, then hangs up.
        client->disconnectFromServer();
    };
    connect(client, &QLocalSocket::readyRead, this, onData);
    if (client->bytesAvailable() > 0) onData();
}

}  // namespace qv7::panel
