// Link packets: layout, checksums and builders shared by the driver and the simulated device.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "common/byte_io.h"

namespace qv7::link {

constexpr uint8_t kStartHigh = 0xFF;
constexpr uint8_t kStartLow = 0x5A;
constexpr std::size_t kHeaderSize = 9;       // start(2) length(2) control seq ack session checksum
constexpr std::size_t kMaxDataPayload = 52;  // application bytes in one data packet
constexpr std::size_t kDataOverhead = 12;    // header, session identifier 00 01, payload checksum
constexpr std::size_t kReassemblySize = 4096;
constexpr std::size_t kMaxReport = 128;
constexpr std::size_t kMaxApplication = 255;  // a longer application part is dropped unread

// Header byte offsets.
constexpr std::size_t kOffLength = 2;
constexpr std::size_t kOffControl = 4;
constexpr std::size_t kOffSeq = 5;
constexpr std::size_t kOffAck = 6;
constexpr std::size_t kOffSession = 7;
constexpr std::size_t kOffHeaderChecksum = 8;
constexpr std::size_t kOffPayload = kHeaderSize;

constexpr uint8_t kControlSync = 0x80;
constexpr uint8_t kControlAck = 0x40;
constexpr uint8_t kControlSyncAck = 0xC0;

constexpr uint8_t kSessionLink = 0;
constexpr uint8_t kSessionControl = 10;
constexpr uint8_t kSessionData = 11;

constexpr std::size_t kSyncPacketSize = 26;

// Both ends count their sequence numbers 1..250 and then start again at 1.
constexpr uint8_t kMaxSeq = 250;
constexpr uint8_t nextSeq(uint8_t seq) { return static_cast<uint8_t>(seq >= kMaxSeq ? 1 : seq + 1); }

// Data-session payload: a 2-byte session identifier, then the application bytes.
constexpr uint16_t kDataSessionIdentifier = 0x0001;
constexpr std::size_t kDataSessionIdentifierSize = 2;
constexpr std::size_t kOffApplication = kOffPayload + kDataSessionIdentifierSize;

// Control-session message: marker 40 40, 2-byte length (marker to end of parameters), 2-byte identifier.
constexpr uint8_t kControlMarker = 0x40;
constexpr std::size_t kControlMessageHeader = 6;
constexpr std::size_t kOffMessageLength = kOffPayload + 2;
constexpr std::size_t kOffMessageId = kOffPayload + 4;
constexpr std::size_t kOffMessageParameters = kOffPayload + kControlMessageHeader;
constexpr std::size_t kParameterHeader = 4;  // 2-byte length (header included), 2-byte identifier

constexpr std::array<uint8_t, 8> kDetect = {0xFF, 0x55, 0x02, 0x00, 0xEE, 0x10, 0x50, 0x43};
constexpr std::size_t kDetectPrefix = 6;  // a report starting with these bytes is the device's detect

// The 16 link-parameter bytes the panel answers a synchronisation with.
constexpr std::array<uint8_t, 16> kLinkParameters = {0x01, 0x7F, 0xFF, 0xFF, 0x03, 0xE8, 0x00, 0x64,
                                                     0x03, 0x01, 0x0A, 0x00, 0x01, 0x0B, 0x02, 0x01};

// Control-session message identifiers.
constexpr uint16_t kMsgStartIdentification = 0x1D00;
constexpr uint16_t kMsgIdentificationInformation = 0x1D01;
constexpr uint16_t kMsgIdentificationAccepted = 0x1D02;
constexpr uint16_t kMsgStartEAProtocolSession = 0xEA00;

// Two's complement of the 8-bit sum.
uint8_t checksum(std::span<const uint8_t> bytes);

using Packet = std::vector<uint8_t>;

// A packet with header and, when the payload is non-empty, the payload checksum.
Packet build(uint8_t control, uint8_t seq, uint8_t ack, uint8_t session, std::span<const uint8_t> payload);
// A control-session message: 40 40, length, identifier, parameters (already encoded).
Packet buildControlMessage(uint8_t seq, uint8_t ack, uint16_t messageId, std::span<const uint8_t> parameters);
// A data-session packet: 00 01 then the application bytes; nothing when they exceed 52 bytes.
std::optional<Packet> buildData(uint8_t seq, uint8_t ack, std::span<const uint8_t> application);
Packet buildBareAck(uint8_t seq, uint8_t acknowledged);

// One control-session parameter: 2-byte length (header included), 2-byte identifier, data.
void appendParameter(std::vector<uint8_t>& out, uint16_t id, std::span<const uint8_t> data);

// Length field, both checksums; the bytes are exactly one packet.
bool isValid(std::span<const uint8_t> packet);
// 0 when the bytes are too short to hold the field.
inline uint16_t lengthField(std::span<const uint8_t> p) { return ByteReader(p, kOffLength).u16be(); }

// A control-session message as it lies in a packet already found valid. Nothing here says its length
// field is right.
struct ControlMessage {
    uint16_t id = 0;
    uint16_t length = 0;            // the message's length field
    std::span<const uint8_t> body;  // every byte after the identifier up to the payload checksum

    bool lengthMatchesPacket() const { return length == kControlMessageHeader + body.size(); }
    // The parameter bytes the length field names; nullopt when it names more than the packet holds
    // or less than the message header.
    std::optional<std::span<const uint8_t>> parameters() const;
};
// nullopt when the packet is too short for a message with its checksum or lacks the 40 40 marker.
std::optional<ControlMessage> parseControlMessage(std::span<const uint8_t> packet);

struct DataPayload {
    uint16_t sessionIdentifier = 0;  // kDataSessionIdentifier in every packet either end builds
    std::span<const uint8_t> application;
};
// nullopt when the packet carries no application byte.
std::optional<DataPayload> dataPayload(std::span<const uint8_t> packet);
bool startsWithDetect(std::span<const uint8_t> report);

}  // namespace qv7::link
