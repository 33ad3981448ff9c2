// hidraw device provider for the window.
#include "panel/hid_provider.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "hid/access_advice.h"

namespace qv7::panel {

HidProvider::HidProvider(CHidDevice::InterfaceSource source)
    : source_(source ? std::move(source) : hid::enumerateHidInterfaces), device_({}, source_) {
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

bool HidProvider::present() {
    std::vector<hid::HidInterface> all;
    if (!source_(all)) return false;
    const std::size_t n = std::min<std::size_t>(all.size(), hid::kMaxInterfaces);
    return std::any_of(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n), [](const hid::HidInterface& i) {
        return i.vendorId == hid::kTolkaVendorId && i.productId == hid::kTolkaProductId;
    });
}

std::string HidProvider::deniedPath() const {
    for (const auto& f : device_.openFailures())
        if (hid::accessDenied(f.error)) return f.path;
    return {};
}

}  // namespace qv7::panel
