// hidraw device provider for the window.
#include "panel/hid_provider.h"

#include <cstdio>

namespace qv7::panel {

HidProvider::HidProvider() {
    if (!hotplug_.hidRegisterNotification()) {
        // Without a monitor the reader's "device gone" still reports a removal; arrivals are missed.
        std::fprintf(stderr, "qv7-panel: no hot-plug notices (%s); plug the Tolka in before starting\n",
                     hotplug_.error().c_str());
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(hotplug_.fd(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        hotplug_.dispatch([this](const HotplugEvent& e) {
            // Only the Tolka's own nodes count: another HID device coming or going must not restart
            // the conversation with an attached Tolka.
            if (!e.tolka) return;
            if (e.kind == HotplugEvent::Kind::Arrival && onArrival) onArrival();
            if (e.kind == HotplugEvent::Kind::Removal && onRemoval) onRemoval();
        });
    });
}

HidProvider::~HidProvider() {
    notifier_.reset();
    hotplug_.hidUnregisterNotification();
}

std::string HidProvider::describe() const { return device_.isOpen() ? device_.describe() : "Tolka (hidraw)"; }

HidTransport* HidProvider::open() { return device_.hidOpen(0x1290, 0x0416) ? &device_ : nullptr; }

void HidProvider::release() { device_.hidClose(); }

bool HidProvider::present() { return !hid::enumerateTolkas().empty(); }

}  // namespace qv7::panel
