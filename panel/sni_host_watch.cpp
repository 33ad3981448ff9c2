// The StatusNotifierWatcher's name owner and its IsStatusNotifierHostRegistered property, followed by events.
#include "panel/sni_host_watch.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace qv7::panel {

namespace {
const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
// A watcher that hangs must not hold up the start for long; it then counts as no tray.
constexpr int kStartQuestionTimeoutMs = 2000;

QDBusMessage hostQuestion() {
    QDBusMessage m = QDBusMessage::createMethodCall(
        kWatcherService, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    m << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    return m;
}

bool hostAnswer(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    return qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toBool();
}
}  // namespace

SniHostWatch::SniHostWatch(std::function<void()> changed, QObject* parent)
    : QObject(parent), bus_(QDBusConnection::sessionBus()),
      owner_(kWatcherService, bus_, QDBusServiceWatcher::WatchForOwnerChange) {
    if (!bus_.isConnected()) return;
    connect(&owner_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) { ownerChanged(newOwner); });
    // Plasma starts its watcher before the shell registers the host that shows the icons.
    for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        bus_.connect(kWatcherService, kWatcherPath, kWatcherService, QString::fromLatin1(signal), this,
                     SLOT(hostsChanged()));
    // Known before the window first shows, so a close right after the start already hides to the tray.
    const auto* names = bus_.interface();
    if (names && names->isServiceRegistered(kWatcherService).value())
        present_ = hostAnswer(bus_.call(hostQuestion(), QDBus::Block, kStartQuestionTimeoutMs));
    changed_ = std::move(changed);
}

void SniHostWatch::hostsChanged() { ask(); }

void SniHostWatch::ownerChanged(const QString& newOwner) {
    // A new owner is a new watcher that knows nothing of our icon: the old tray is gone either way.
    ++question_;
    set(false);
    if (!newOwner.isEmpty()) ask();
}

void SniHostWatch::ask() {
    const std::uint64_t question = ++question_;
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(hostQuestion()), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, question](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        if (question == question_) set(hostAnswer(call->reply()));
    });
}

void SniHostWatch::set(bool present) {
    if (present == present_) return;
    present_ = present;
    if (changed_) changed_();
}

}  // namespace qv7::panel
