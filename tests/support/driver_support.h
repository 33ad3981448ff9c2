// Puts the protocol driver into a known firmware state by feeding it the device's own packets.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/link_packet.h"
#include "device/mfi.h"

namespace qv7::test {

// The identification message carrying only FirmwareVersion (parameter 4, zero-terminated).
inline void identify(mfi& driver, const std::string& firmwareVersion) {
    std::vector<uint8_t> params;
    std::vector<uint8_t> text(firmwareVersion.begin(), firmwareVersion.end());
    text.push_back(0);
    link::appendParameter(params, 4, text);
    const auto packet = link::buildControlMessage(1, 0, link::kMsgIdentificationInformation, params);
    driver.mfiReceive(packet);
    driver.clearPending();
}

// A data-session packet from the device carrying `application`.
inline void deliver(mfi& driver, uint8_t seq, std::span<const uint8_t> application) {
    const auto packet = link::buildData(seq, 0, application);
    driver.mfiReceive(*packet);
}

// The application bytes of the packet the driver has left to write (after the 00 01 session id).
inline std::vector<uint8_t> pendingApplication(const mfi& driver) {
    const auto p = driver.pendingPacket();
    if (p.size() <= link::kDataOverhead) return {};
    return {p.begin() + 11, p.end() - 1};
}

}  // namespace qv7::test
