// libudev monitor of the hidraw subsystem; tells Tolkas from other HID devices by the parent's HID_ID.
#include "hid/hotplug.h"

#include <libudev.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "hid/hid_device.h"

namespace qv7 {
namespace {

// udevd creates this while it runs; without udevd its netlink source stays silent for ever.
constexpr const char* kUdevControl = "/run/udev/control";

// HID_ID is "BBBB:VVVVVVVV:PPPPPPPP" (bus, vendor, product in hex).
bool isTolka(udev_device* hidraw) {
    udev_device* parent = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
    const char* id = parent ? udev_device_get_property_value(parent, "HID_ID") : nullptr;
    unsigned bus = 0, vendor = 0, product = 0;
    if (!id || std::sscanf(id, "%x:%x:%x", &bus, &vendor, &product) != 3) return false;
    return vendor == hid::kTolkaVendorId && product == hid::kTolkaProductId;
}

std::string serialOf(udev_device* hidraw) {
    udev_device* parent = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
    const char* uniq = parent ? udev_device_get_property_value(parent, "HID_UNIQ") : nullptr;
    return uniq ? uniq : "";
}

}  // namespace

HidHotplug::~HidHotplug() { hidUnregisterNotification(); }

bool HidHotplug::hidRegisterNotification() {
    hidUnregisterNotification();
    udev_ = udev_new();
    if (!udev_) {
        error_ = "udev_new failed";
        return false;
    }
    source_ = ::access(kUdevControl, F_OK) == 0 ? "udev" : "kernel";
    monitor_ = udev_monitor_new_from_netlink(udev_, source_.c_str());
    if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        error_ = "cannot listen to " + source_ + " events for hidraw: " + std::strerror(errno);
        hidUnregisterNotification();
        return false;
    }
    // Removal events carry no identifiers, so remember which nodes present now are Tolkas.
    for (const auto& t : hid::enumerateTolkas()) tolkaNodes_.insert(t.path);
    return true;
}

void HidHotplug::hidUnregisterNotification() {
    if (monitor_) udev_monitor_unref(monitor_);
    if (udev_) udev_unref(udev_);
    monitor_ = nullptr;
    udev_ = nullptr;
    tolkaNodes_.clear();
}

int HidHotplug::fd() const { return monitor_ ? udev_monitor_get_fd(monitor_) : -1; }

void HidHotplug::dispatch(const std::function<void(const HotplugEvent&)>& onEvent) {
    if (!monitor_) return;
    // The monitor's socket is non-blocking: receive returns null once the queue is empty.
    while (udev_device* dev = udev_monitor_receive_device(monitor_)) {
        const char* action = udev_device_get_action(dev);
        const char* node = udev_device_get_devnode(dev);
        if (action && node) {
            HotplugEvent e{HotplugEvent::Kind::Arrival, node, false, {}};
            if (std::strcmp(action, "add") == 0) {
                e.tolka = isTolka(dev);
                if (e.tolka) {
                    e.serial = serialOf(dev);
                    tolkaNodes_.insert(e.devnode);
                }
                onEvent(e);
            } else if (std::strcmp(action, "remove") == 0) {
                e.kind = HotplugEvent::Kind::Removal;
                e.tolka = tolkaNodes_.erase(e.devnode) > 0;
                onEvent(e);
            }
        }
        udev_device_unref(dev);
    }
}

}  // namespace qv7
