// The local-socket handshake between a second copy and the running one.
#include "panel/single_instance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace qv7::panel {

namespace {
constexpr int kConnectTimeoutMs = 1000;
constexpr char kShow[] = "show\n";
}  // namespace

SingleInstance::SingleInstance(const QString& applicationName, QObject* parent) : QObject(parent) {
    // Under the user's runtime directory, so two users on one machine each get their own panel.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    name_ = runtime.isEmpty() ? applicationName : QDir(runtime).filePath(applicationName);
}

bool SingleInstance::forwardToRunning() {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(kConnectTimeoutMs)) return false;
    socket.write(kShow);
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::listen(std::function<void()> show) {
    // A socket file left by a copy that crashed would refuse every later listen.
    QLocalServer::removeServer(name_);
    if (!server_.listen(name_)) return false;
    connect(&server_, &QLocalServer::newConnection, this, [this, show = std::move(show)] {
        while (QLocalSocket* client = server_.nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            show();
        }
    });
    return true;
}

}  // namespace qv7::panel

