// Follows whether an XEmbed system tray owns the screen's tray selection (X11 desktops without a
// StatusNotifierItem host, and the XEmbed proxies of those with one).
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>

struct xcb_connection_t;
class QSocketNotifier;

namespace qv7::panel {

class XEmbedTrayWatch : public QObject {
public:
    // Watches the display named by DISPLAY. `changed` hears every change of present(); it is never called
    // from the constructor or the destructor.
    explicit XEmbedTrayWatch(std::function<void()> changed, QObject* parent = nullptr);
    ~XEmbedTrayWatch() override;
    XEmbedTrayWatch(const XEmbedTrayWatch&) = delete;
    XEmbedTrayWatch& operator=(const XEmbedTrayWatch&) = delete;

    bool present() const { return owner_ != 0; }

private:
    void readEvents();
    void findOwner();
    void lose();

    // A connection of its own: Qt's connection and the event masks it sets stay untouched.
    xcb_connection_t* connection_ = nullptr;
    QSocketNotifier* readable_ = nullptr;
    std::uint32_t root_ = 0;
    std::uint32_t selection_ = 0;  // _NET_SYSTEM_TRAY_S<screen>
    std::uint32_t manager_ = 0;    // MANAGER
    std::uint32_t owner_ = 0;      // the tray's window, 0 while there is none
    std::function<void()> changed_;
};

}  // namespace qv7::panel
