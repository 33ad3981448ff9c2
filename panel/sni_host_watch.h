// Follows whether a StatusNotifierItem host is on the session bus, as KDE Plasma, GNOME's AppIndicator
// extension, XFCE and most other desktops provide one.
#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>

#include <cstdint>
#include <functional>

namespace qv7::panel {

class SniHostWatch : public QObject {
    Q_OBJECT
public:
    // `changed` hears every change of present(); it is never called from the constructor or the destructor.
    explicit SniHostWatch(std::function<void()> changed, QObject* parent = nullptr);

    // The watcher's name has an owner and it says a host (the visible tray) registered with it.
    bool present() const { return present_; }

private slots:
    void hostsChanged();

private:
    void ownerChanged(const QString& newOwner);
    void ask();
    void set(bool present);

    QDBusConnection bus_;
    QDBusServiceWatcher owner_;
    std::uint64_t question_ = 0;  // the latest question; an answer to an earlier one is stale
    bool present_ = false;
    std::function<void()> changed_;
};

}  // namespace qv7::panel
