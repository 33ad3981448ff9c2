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
    ByteWriter(p).u8(kStartHigh).u8(kStartLow).u16be(static_cast<uint16_t>(total));
    ByteWriter(p).u8(control).u8(seq).u8(ack).u8(session);
    p.push_back(checksum(p));
    if (!payload.empty()) {
        p.insert(p.end(), payload.begin(), payload.end());
        p.push_back(checksum(payload));
    }
    return p;
}

Packet buildControlMessage(uint8_t seq, uint8_t ack, uint16_t messageId, std::span<const uint8_t> parameters) {
    const std::size_t length = kControlMessageHeader + parameters.size();
    std::vector<uint8_t> msg;
    ByteWriter(msg)
        .u8(kControlMarker)
        .u8(kControlMarker)
        .u16be(static_cast<uint16_t>(length))
        .u16be(messageId)
        .bytes(parameters);
    return build(kControlAck, seq, ack, kSessionControl, msg);
}

std::optional<Packet> buildData(uint8_t seq, uint8_t ack, std::span<const uint8_t> application) {
    if (application.size() > kMaxDataPayload) return std::nullopt;
    std::vector<uint8_t> payload;
    ByteWriter(payload).u16be(kDataSessionIdentifier).bytes(application);
    return build(kControlAck, seq, ack, kSessionData, payload);
}

Packet buildBareAck(uint8_t seq, uint8_t acknowledged) {
    return build(kControlAck, seq, acknowledged, kSessionLink, {});
}

void appendParameter(std::vector<uint8_t>& out, uint16_t id, std::span<const uint8_t> data) {
    const std::size_t len = kParameterHeader + data.size();
    ByteWriter(out).u16be(static_cast<uint16_t>(len)).u16be(id).bytes(data);
}

bool isValid(std::span<const uint8_t> q) {
    if (q.size() < kHeaderSize) return false;
    if (q[0] != kStartHigh || q[1] != kStartLow) return false;
    if (lengthField(q) != q.size()) return false;
    if (checksum(q.first(kOffHeaderChecksum)) != q[kOffHeaderChecksum]) return false;
    if (q.size() > kHeaderSize && checksum(q.subspan(kHeaderSize, q.size() - kHeaderSize - 1)) != q.back())
        return false;
    return true;
}

std::optional<std::span<const uint8_t>> ControlMessage::parameters() const {
    if (length < kControlMessageHeader || length - kControlMessageHeader > body.size()) return std::nullopt;
    return body.first(length - kControlMessageHeader);
}

std::optional<ControlMessage> parseControlMessage(std::span<const uint8_t> packet) {
    // Header, message header and payload checksum at least.
    if (packet.size() < kOffMessageParameters + 1) return std::nullopt;
    ByteReader r(packet, kOffPayload);
    if (r.u8() != kControlMarker || r.u8() != kControlMarker) return std::nullopt;
    ControlMessage m;
    m.length = r.u16be();
    m.id = r.u16be();
    m.body = r.take(r.remaining() - 1);
    return m;
}

std::optional<DataPayload> dataPayload(std::span<const uint8_t> packet) {
    if (packet.size() <= kDataOverhead) return std::nullopt;
    ByteReader r(packet, kOffPayload);
    DataPayload d;
    d.sessionIdentifier = r.u16be();
    d.application = r.take(r.remaining() - 1);
    return d;
}

bool startsWithDetect(std::span<const uint8_t> report) {
    return report.size() >= kDetectPrefix &&
           std::equal(kDetect.begin(), kDetect.begin() + kDetectPrefix, report.begin());
}

}  // namespace qv7::link
