// One panel per user: the first copy listens on a local socket named after the application; later copies ask it to come forward.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <functional>

namespace qv7::panel {

class SingleInstance : public QObject {
public:
    explicit SingleInstance(const QString& applicationName, QObject* parent = nullptr);

    // True when another copy answered and was asked to show itself: this copy should exit.
    bool forwardToRunning();
    // Starts listening; `show` runs on the window thread each time a later copy starts.
    bool listen(std::function<void()> show);
    QString serverName() const { return name_; }

private:
    QString name_;
    QLocalServer server_;
};

}  // namespace qv7::panel
