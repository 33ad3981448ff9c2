// Tray icon and its menu ("关于" above "关闭").
#include "panel/tray.h"

#include "panel/app_icon.h"
#include "panel/control_table.h"

namespace qv7::panel {

Tray::Tray(const QString& tip, std::function<void()> restore, std::function<void()> about, std::function<void()> quit,
           QObject* parent)
    : QObject(parent) {
    icon_.setIcon(appIcon());
    icon_.setToolTip(tip);
    menu_.addAction(QString::fromUtf8(kAboutMenuText.data(), static_cast<qsizetype>(kAboutMenuText.size())), this,
                    [about = std::move(about)] { about(); });
    menu_.addAction(QString::fromUtf8(kTrayClose.data(), static_cast<qsizetype>(kTrayClose.size())), this,
                    [quit = std::move(quit)] { quit(); });
    icon_.setContextMenu(&menu_);
    connect(&icon_, &QSystemTrayIcon::activated, this, [this, restore = std::move(restore)](QSystemTrayIcon::ActivationReason r) {
        if (r != QSystemTrayIcon::DoubleClick) return;
        restore();
        icon_.hide();
    });
}

bool Tray::available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

void Tray::show() { icon_.show(); }

void Tray::hide() { icon_.hide(); }

}  // namespace qv7::panel
