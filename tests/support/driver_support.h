// Puts the protocol driver into a known state by feeding it the device's own packets.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/link_packet.h"
#include "device/mfi.h"

namespace qv7::test {

// A device packet padded to a 64-byte report.
inline std::vector<uint8_t> report(std::vector<uint8_t> packet) {
    packet.resize(std::max<std::size_t>(packet.size(), 64), 0);
    return packet;
}

// A device data packet carrying `app`, with a distinct device sequence number each call.
inline std::vector<uint8_t> deviceData(std::vector<uint8_t> app, uint8_t deviceSeq) {
    return report(*link::buildData(deviceSeq, 0, app));
}

inline std::vector<uint8_t> deviceAck(uint8_t deviceSeq, uint8_t session = link::kSessionLink) {
    return report(link::build(link::kControlAck, deviceSeq, 0, session, {}));
}

// An IdentificationInformation message with the given firmware version.
inline std::vector<uint8_t> identification(const std::string& firmware, uint8_t deviceSeq,
                                           const std::string& serial = "SN0123456789") {
    std::vector<uint8_t> params;
    const std::string texts[] = {"Tolka", "qv7", "Vexlor", serial, firmware, "1.0"};
    for (uint16_t i = 0; i < 6; ++i) {
        std::vector<uint8_t> data(texts[i].begin(), texts[i].end());
        data.push_back(0);
        link::appendParameter(params, i, data);
    }
    return link::buildControlMessage(deviceSeq, 0, link::kMsgIdentificationInformation, params);
}

// Feeds a packet to the driver in 64-byte reports.
inline void feed(mfi& d, const std::vector<uint8_t>& packet) {
    for (std::size_t off = 0; off < packet.size(); off += 64) {
        std::vector<uint8_t> r(64, 0);
        std::copy_n(packet.begin() + static_cast<std::ptrdiff_t>(off), std::min<std::size_t>(64, packet.size() - off),
                    r.begin());
        d.mfiReceive(r);
    }
}

// A driver that has been told the device's identity (firmware version) and is idle, with nothing left to write.
inline void identify(mfi& d, const std::string& firmware) {
    feed(d, identification(firmware, 200));
    d.clearPending();
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
