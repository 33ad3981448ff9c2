// The notification-area icon: shown while the window hides, a click or double-click (or "显示面板")
// brings the window back, its menu ends the program. Follows the desktop's trays for the whole session.
#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>

namespace qv7::panel {

class SniHostWatch;
class XEmbedTrayWatch;

constexpr std::string_view kTrayShow = "显示面板";
constexpr std::string_view kTrayAutostart = "开机启动";

class Tray : public QObject {
public:
    // The trays the desktop offers at a moment.
    struct Hosts {
        bool statusNotifier = false;  // a StatusNotifierItem host on the session bus
        bool xembed = false;          // an XEmbed tray on the X display
    };

    Tray(const QString& tip, std::function<void()> restore, std::function<void()> about, std::function<void()> quit,
         QObject* parent = nullptr);
    ~Tray() override;

    // Follows the desktop's trays from now on; `usableChanged` hears when the icon can, or can no longer, be shown.
    void followDesktop(std::function<void(bool)> usableChanged);
    // What the desktop offers now (the watches report here; tests too).
    void setHosts(Hosts hosts);
    // A tray is there that the icon can be shown in: hiding the window to it leaves a way back.
    bool usable() const;

    void show();
    void hide();
    bool visible() const { return icon_ && icon_->isVisible(); }
    QMenu& menu() { return menu_; }
    // The checkable "开机启动" item over the autostart entry `file`. It shows whether the file starts the panel
    // now and each time the menu opens; `failed` hears why a change could not be made.
    void offerAutostart(std::filesystem::path file, std::function<void(const std::string&)> failed);
    QAction* autostartAction() const { return autostart_; }
    // The item shows the file as it is now.
    void refreshAutostart();
    // Null until a tray was first seen.
    QSystemTrayIcon* icon() const { return icon_.get(); }

private:
    void createIcon();
    void restoreWindow();
    void desktopChanged();

    QString tip_;
    std::function<void()> restore_;
    QMenu menu_;
    QAction* close_ = nullptr;
    QAction* autostart_ = nullptr;
    std::filesystem::path autostartFile_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    bool iconOnStatusNotifier_ = false;
    Hosts hosts_;
    bool usable_ = false;
    std::function<void(bool)> usableChanged_;
    SniHostWatch* sni_ = nullptr;
    XEmbedTrayWatch* xembed_ = nullptr;
};

}  // namespace qv7::panel
