#include "device/identity_fields.h"

#include "common/gbk_text.h"

namespace qv7 {

std::vector<IdentityField> identityFields(const mfi& driver, std::string device) {
    const DeviceIdentity& id = driver.identity();
    auto text = [](const std::string& gbk) { return gbk::toUtf8Display(gbk); };
    return {
        {"device", std::move(device)},
        {"Name", text(id.Name)},
        {"ModelIdentifier", text(id.ModelIdentifier)},
        {"Manufacturer", text(id.Manufacturer)},
        {"SerialNumber", text(id.SerialNumber)},
        {"FirmwareVersion", text(id.FirmwareVersion)},
        {"HardwareVersion", text(id.HardwareVersion)},
        {"chipSerial", text(driver.chipSerial())},
        {"battery", driver.batteryText()},
    };
}

}  // namespace qv7
