// Link packet builders and validation.
#include "device/link_packet.h"

#include <algorithm>
#include <numeric>

namespace qv7::link {

uint8_t checksum(std::span<const uint8_t> bytes) {
    const unsigned sum = std::accumulate(bytes.begin(), bytes.end(), 0u);
    return static_cast<uint8_t>((256u - (sum & 0xFFu)) & 0xFFu);
}

Packet build(uint8_t control, uint8_t seq, uint8_t ack, uint8_t session, std::span<const uint8_t> payload) {
    const std::size_t total = kHeaderSize + (payload.empty() ? 0 : payload.size() + 1);
    Packet p;
    p.reserve(total);
    p.insert(p.end(), {kStartHigh, kStartLow, static_cast<uint8_t>(total >> 8), static_cast<uint8_t>(total & 0xFF),
                       control, seq, ack, session});
    p.push_back(checksum(p));
    if (!payload.empty()) {
        p.insert(p.end(), payload.begin(), payload.end());
        p.push_back(checksum(payload));
    }
    return p;
}

Packet buildControlMessage(uint8_t seq, uint8_t ack, uint16_t messageId, std::span<const uint8_t> parameters) {
    const std::size_t length = 6 + parameters.size();
    std::vector<uint8_t> msg = {0x40,
                                0x40,
                                static_cast<uint8_t>(length >> 8),
                                static_cast<uint8_t>(length & 0xFF),
                                static_cast<uint8_t>(messageId >> 8),
                                static_cast<uint8_t>(messageId & 0xFF)};
    msg.insert(msg.end(), parameters.begin(), parameters.end());
    return build(kControlAck, seq, ack, kSessionControl, msg);
}

std::optional<Packet> buildData(uint8_t seq, uint8_t ack, std::span<const uint8_t> application) {
    if (application.size() > kMaxDataPayload) return std::nullopt;
    std::vector<uint8_t> payload = {0x00, 0x01};
    payload.insert(payload.end(), application.begin(), application.end());
    return build(kControlAck, seq, ack, kSessionData, payload);
}

Packet buildBareAck(uint8_t seq, uint8_t acknowledged) {
    return build(kControlAck, seq, acknowledged, kSessionLink, {});
}

void appendParameter(std::vector<uint8_t>& out, uint16_t id, std::span<const uint8_t> data) {
    const std::size_t len = 4 + data.size();
    out.insert(out.end(), {static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len & 0xFF),
                           static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id & 0xFF)});
    out.insert(out.end(), data.begin(), data.end());
}

bool isValid(std::span<const uint8_t> q) {
    if (q.size() < kHeaderSize) return false;
    if (q[0] != kStartHigh || q[1] != kStartLow) return false;
    if (lengthField(q) != q.size()) return false;
    if (checksum(q.first(8)) != q[kOffHeaderChecksum]) return false;
    if (q.size() > kHeaderSize && checksum(q.subspan(kHeaderSize, q.size() - kHeaderSize - 1)) != q.back())
        return false;
    return true;
}

bool startsWithDetect(std::span<const uint8_t> report) {
    return report.size() >= kDetectPrefix && std::equal(kDetect.begin(), kDetect.begin() + kDetectPrefix, report.begin());
}

}  // namespace qv7::link
