// Helpers shared by the driver tests: hex fixtures, an event recorder, a device stand-in.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "device/link_packet.h"
#include "device/mfi.h"

namespace qv7::test {

inline std::vector<uint8_t> hex(const std::string& text) {
    std::vector<uint8_t> out;
    std::istringstream in(text);
    std::string byte;
    while (in >> byte) out.push_back(static_cast<uint8_t>(std::stoul(byte, nullptr, 16)));
    return out;
}

inline std::string hex(std::span<const uint8_t> bytes) {
    std::string s;
    char buf[4];
    for (uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, s.empty() ? "%02X" : " %02X", b);
        s += buf;
    }
    return s;
}

using Event = std::pair<int, int>;

// Records events, messages, diagnostic lines and every packet that would be written.
struct Recorder : LinkEventSink, MessageSink {
    mfi* driver = nullptr;
    std::vector<Event> events;
    std::vector<std::string> messages;
    std::vector<std::vector<uint8_t>> written;  // packet-ready writes
    std::vector<std::string> trace;

    void attach(mfi& d) {
        driver = &d;
        d.setEventSink(this);
        d.setMessageSink(this);
        d.setDiagnostics([this](std::string_view l) { trace.emplace_back(l); });
    }
    void onLinkEvent(int w, int l) override {
        events.emplace_back(w, l);
        if (isEvent(w, l, ev::kPacketReady) && driver->pendingLength() > 0) {
            auto p = driver->pendingPacket();
            written.emplace_back(p.begin(), p.end());
            driver->clearPending();
        }
    }
    void showMessage(const std::string& text, const std::string& caption) override {
        messages.push_back(caption + "|" + text);
    }
    void clear() {
        events.clear();
        messages.clear();
        written.clear();
        trace.clear();
    }
};

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
        std::copy_n(packet.begin() + static_cast<std::ptrdiff_t>(off), std::min<std::size_t>(64, packet.size() - off), r.begin());
        d.mfiReceive(r);
    }
}

// A driver that has been told the device's identity (firmware version) and is idle.
inline void identify(mfi& d, const std::string& firmware) {
    feed(d, identification(firmware, 200));
}

}  // namespace qv7::test
