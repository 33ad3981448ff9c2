// The notification-area icon: shown while the window hides, double-click brings the window back, its menu ends the program.
#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>

namespace qv7::panel {

class Tray : public QObject {
public:
    Tray(const QString& tip, std::function<void()> restore, std::function<void()> about, std::function<void()> quit,
         QObject* parent = nullptr);

    // Whether the desktop has a tray at all; without one the window minimises normally and closing quits.
    static bool available();
    void show();
    void hide();
    bool visible() const { return icon_.isVisible(); }
    QMenu& menu() { return menu_; }

private:
    QSystemTrayIcon icon_;
    QMenu menu_;
};

}  // namespace qv7::panel
