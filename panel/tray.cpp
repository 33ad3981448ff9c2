// Tray icon and its menu ("显示面板", "关于", "关闭"), made once a tray is there and shown only while one is.
#include "panel/tray.h"

#include <QGuiApplication>

#include "panel/app_icon.h"
#include "panel/autostart.h"
#include "panel/control_table.h"
#include "panel/sni_host_watch.h"
#include "panel/window_texts.h"
#include "panel/xembed_tray_watch.h"

namespace qv7::panel {

namespace {
bool onX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }
}  // namespace

Tray::Tray(const QString& tip, std::function<void()> restore, std::function<void()> about, std::function<void()> quit,
           QObject* parent)
    : QObject(parent), tip_(tip), restore_(std::move(restore)) {
    menu_.addAction(windowText(kTrayShow), this, [this] { restoreWindow(); });
    menu_.addAction(windowText(kAboutMenuText), this, [about = std::move(about)] { about(); });
    close_ = menu_.addAction(windowText(kTrayClose), this, [quit = std::move(quit)] { quit(); });
}

Tray::~Tray() = default;

void Tray::offerAutostart(std::filesystem::path file, std::function<void(const std::string&)> failed) {
    autostartFile_ = std::move(file);
    autostart_ = new QAction(windowText(kTrayAutostart), &menu_);
    autostart_->setCheckable(true);
    menu_.insertAction(close_, autostart_);
    // Triggered, not toggled: only the user's choice writes; the refresh below sets the mark without writing.
    connect(autostart_, &QAction::triggered, this, [this, failed = std::move(failed)](bool on) {
        const FileResult result = setAutostart(autostartFile_, on);
        refreshAutostart();
        if (!result) failed(result.error);
    });
    // The file may be changed by the desktop's own settings or by hand while the panel runs.
    connect(&menu_, &QMenu::aboutToShow, this, [this] { refreshAutostart(); });
    refreshAutostart();
}

void Tray::refreshAutostart() {
    if (autostart_) autostart_->setChecked(autostartEnabled(autostartFile_));
}

void Tray::followDesktop(std::function<void(bool)> usableChanged) {
    usableChanged_ = std::move(usableChanged);
    sni_ = new SniHostWatch([this] { desktopChanged(); }, this);
    if (onX11()) xembed_ = new XEmbedTrayWatch([this] { desktopChanged(); }, this);
    desktopChanged();
}

void Tray::desktopChanged() { setHosts({sni_ && sni_->present(), xembed_ && xembed_->present()}); }

void Tray::setHosts(Hosts hosts) {
    hosts_ = hosts;
    // Qt picks its tray backend once per process, when the first icon is made; made only once a tray is
    // there, the icon gets the backend of that tray instead of none.
    if (!icon_ && (hosts.statusNotifier || hosts.xembed)) createIcon();
    const bool now = usable();
    if (now == usable_) return;
    usable_ = now;
    if (!now) hide();
    if (usableChanged_) usableChanged_(now);
}

bool Tray::usable() const {
    if (!icon_) return false;
    return iconOnStatusNotifier_ ? hosts_.statusNotifier : hosts_.xembed;
}

void Tray::createIcon() {
    // Off X11 Qt's only backend is D-Bus; on X11 it takes D-Bus when a host is registered, else XEmbed.
    iconOnStatusNotifier_ = hosts_.statusNotifier || !onX11();
    icon_ = std::make_unique<QSystemTrayIcon>(appIcon());
    icon_->setToolTip(tip_);
    icon_->setContextMenu(&menu_);
    // StatusNotifierItem hosts report a click as Trigger and never a double-click. Queued: the XEmbed icon
    // widget that reports the click is deleted when the icon hides.
    connect(
        icon_.get(), &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) restoreWindow();
        },
        Qt::QueuedConnection);
}

void Tray::restoreWindow() {
    restore_();
    hide();
}

void Tray::show() {
    if (usable()) icon_->show();
}

void Tray::hide() {
    if (icon_) icon_->hide();
}

}  // namespace qv7::panel
