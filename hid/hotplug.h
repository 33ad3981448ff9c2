// Arrival and removal of hidraw nodes, from a libudev monitor the owner's event loop watches.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

struct udev;
struct udev_monitor;

namespace qv7 {

// The bus, vendor and product a HID device's udev property HID_ID names: "BBBB:VVVVVVVV:PPPPPPPP", each
// field one to eight hex digits. Nothing for any other text.
struct HidId {
    uint32_t bus = 0, vendor = 0, product = 0;
    bool operator==(const HidId&) const = default;
};
std::optional<HidId> parseHidId(std::string_view text);

struct HotplugEvent {
    enum class Kind { Arrival, Removal };
    Kind kind;
    std::string devnode;  // /dev/hidrawN
    bool tolka = false;   // 0x0416:0x1290; for a removal, known from its arrival or from the list at registration
    std::string serial;   // arrivals only
};

class HidHotplug {
public:
    HidHotplug() = default;
    ~HidHotplug();
    HidHotplug(const HidHotplug&) = delete;
    HidHotplug& operator=(const HidHotplug&) = delete;

    // Listens to udevd's events, or to the kernel's own when no udevd runs. False with a reason in error().
    bool hidRegisterNotification();
    void hidUnregisterNotification();

    // Readable when events are pending (for poll or QSocketNotifier); -1 while not registered.
    int fd() const;
    // "udev" or "kernel": which source the monitor listens to.
    const std::string& source() const { return source_; }
    const std::string& error() const { return error_; }

    // Hands every pending event to onEvent, without blocking.
    void dispatch(const std::function<void(const HotplugEvent&)>& onEvent);

private:
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    std::string source_;
    std::string error_;
    std::set<std::string> tolkaNodes_;
};

}  // namespace qv7
