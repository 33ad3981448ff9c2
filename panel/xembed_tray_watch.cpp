// The tray selection's owner, followed through the MANAGER announcement of a starting tray and the
// DestroyNotify of the owner's window, on a connection that only wakes when one of those comes.
#include "panel/xembed_tray_watch.h"

#include <xcb/xcb.h>

#include <QSocketNotifier>

#include <cstdlib>
#include <memory>
#include <string>

namespace qv7::panel {

namespace {
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

std::uint32_t atom(xcb_connection_t* c, const std::string& name) {
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr));
    return reply ? reply->atom : 0;
}
}  // namespace

XEmbedTrayWatch::XEmbedTrayWatch(std::function<void()> changed, QObject* parent) : QObject(parent) {
    int screenNumber = 0;
    connection_ = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        connection_ = nullptr;
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem == 0) {
        lose();
        return;
    }
    root_ = screens.data->root;
    selection_ = atom(connection_, "_NET_SYSTEM_TRAY_S" + std::to_string(screenNumber));
    manager_ = atom(connection_, "MANAGER");
    if (selection_ == 0 || manager_ == 0) {
        lose();
        return;
    }
    // A tray that starts announces itself to the root window's StructureNotify listeners.
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    findOwner();
    readable_ = new QSocketNotifier(xcb_get_file_descriptor(connection_), QSocketNotifier::Read, this);
    connect(readable_, &QSocketNotifier::activated, this, [this] { readEvents(); });
    // Replies read above may have brought events along that no longer make the socket readable.
    readEvents();
    changed_ = std::move(changed);
}

XEmbedTrayWatch::~XEmbedTrayWatch() {
    if (connection_) xcb_disconnect(connection_);
}

void XEmbedTrayWatch::findOwner() {
    owner_ = 0;
    // A tray may go between the question and the subscription to its window's end: then ask again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        XcbReply<xcb_get_selection_owner_reply_t> reply(
            xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, selection_), nullptr));
        if (!reply || reply->owner == XCB_WINDOW_NONE) return;
        const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        XcbReply<xcb_generic_error_t> error(xcb_request_check(
            connection_, xcb_change_window_attributes_checked(connection_, reply->owner, XCB_CW_EVENT_MASK, &mask)));
        if (!error) {
            owner_ = reply->owner;
            return;
        }
    }
}

void XEmbedTrayWatch::readEvents() {
    if (!connection_) return;
    const bool before = present();
    bool ask = true;
    while (ask) {
        ask = false;
        while (xcb_generic_event_t* raw = xcb_poll_for_event(connection_)) {
            XcbReply<xcb_generic_event_t> event(raw);
            switch (event->response_type & 0x7f) {
            case XCB_CLIENT_MESSAGE: {
                const auto* m = reinterpret_cast<const xcb_client_message_event_t*>(raw);
                if (m->type == manager_ && m->format == 32 && m->data.data32[1] == selection_) ask = true;
                break;
            }
            case XCB_DESTROY_NOTIFY:
                if (reinterpret_cast<const xcb_destroy_notify_event_t*>(raw)->window == owner_) ask = true;
                break;
            default:
                break;
            }
        }
        // The X server went away: there is no tray any more, and nothing to follow.
        if (xcb_connection_has_error(connection_)) {
            lose();
            break;
        }
        if (ask) findOwner();
    }
    if (present() != before && changed_) changed_();
}

void XEmbedTrayWatch::lose() {
    owner_ = 0;
    if (readable_) readable_->setEnabled(false);
    if (connection_) xcb_disconnect(connection_);
    connection_ = nullptr;
}

}  // namespace qv7::panel
