// The real Tolka on hidraw, with udev hot-plug notices delivered on the window thread.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

#include "hid/hid_device.h"
#include "hid/hotplug.h"
#include "panel/device_host.h"

namespace qv7::panel {

class HidProvider : public QObject, public DeviceProvider {
public:
    // `source` stands in for the system's list of HID interfaces (tests); empty: the system's.
    explicit HidProvider(CHidDevice::InterfaceSource source = {});
    ~HidProvider() override;

    std::string describe() const override;
    HidTransport* open() override;
    void release() override;
    // The removal probe: is any Tolka still attached? (Opening again would restart its conversation.)
    bool present() override;
    bool watchesRemoval() const override { return notifier_ != nullptr; }
    std::string deniedPath() const override;
    std::string lockKey() const override { return device_.isOpen() ? deviceLockKey(device_.describe()) : ""; }

private:
    CHidDevice::InterfaceSource source_;
    CHidDevice device_;
    HidHotplug hotplug_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace qv7::panel
