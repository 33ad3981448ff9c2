// libudev monitor of the hidraw subsystem; tells Tolkas from other HID devices by the parent's HID_ID.
#include "hid/hotplug.h"

#include <libudev.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "common/system_error.h"
#include "hid/hid_device.h"

namespace qv7 {
namespace {

// udevd creates this while it runs; without udevd its netlink source stays silent for ever.
constexpr const char* kUdevControl = "/run/udev/control";

bool isTolka(udev_device* hidraw) {
    udev_device* parent = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
    const char* text = parent ? udev_device_get_property_value(parent, "HID_ID") : nullptr;
    const auto id = text ? parseHidId(text) : std::nullopt;
    return id && id->vendor == hid::kTolkaVendorId && id->product == hid::kTolkaProductId;
}

std::string serialOf(udev_device* hidraw) {
    udev_device* parent = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
    const char* uniq = parent ? udev_device_get_property_value(parent, "HID_UNIQ") : nullptr;
    return uniq ? uniq : "";
}

}  // namespace

std::optional<HidId> parseHidId(std::string_view text) {
    // Strict on purpose: a field of more than eight digits must not wrap around into a known identifier.
    uint32_t fields[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (text.empty() || text.front() != ':') return std::nullopt;
            text.remove_prefix(1);
        }
        const auto r = std::from_chars(text.data(), text.data() + text.size(), fields[i], 16);
        const auto digits = static_cast<std::size_t>(r.ptr - text.data());
        if (r.ec != std::errc() || digits == 0 || digits > 8) return std::nullopt;
        text.remove_prefix(digits);
    }
    if (!text.empty()) return std::nullopt;
    return HidId{fields[0], fields[1], fields[2]};
}

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
        error_ = systemError("cannot listen to " + source_ + " events for hidraw", errno);
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
