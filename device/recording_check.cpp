// The recording check: one pass over the reports, each direction reassembled the way the driver does it.
#include "device/recording_check.h"

#include <array>
#include <cstdio>
#include <optional>

#include "device/commands.h"
#include "device/firmware_caps.h"
#include "device/link_packet.h"
#include "params/parameter_set.h"

namespace qv7 {

namespace {

constexpr uint16_t kFirmwareVersionParameter = 4;

std::string hex2(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%02x", v & 0xFFu);
    return b;
}

// One direction's packets, put together from its reports as the driver's receive path does.
class Reassembly {
public:
    struct Packet {
        std::vector<uint8_t> bytes;
        std::size_t line;
    };
    // A complete packet, or nothing; `problem` says why a report was not taken.
    std::optional<Packet> feed(const RecordedReport& r, std::string& problem) {
        std::vector<uint8_t> bytes = r.bytes;
        bytes.resize(std::max<std::size_t>(bytes.size(), 64), 0);  // padding was left out of the file
        if (link::startsWithDetect(bytes)) {
            buffer_.clear();
            return std::nullopt;
        }
        if (buffer_.empty()) {
            if (bytes[0] != link::kStartHigh || bytes[1] != link::kStartLow) {
                problem = "a report that does not start a packet (" + hex2(bytes[0]) + " " + hex2(bytes[1]) + ")";
                return std::nullopt;
            }
            const std::size_t total = link::lengthField(bytes);
            if (total <= bytes.size())
                return Packet{{bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(total)}, r.line};
            if (total > link::kReassemblySize) {
                problem = "a packet of " + std::to_string(total) + " bytes, more than the driver holds (4096)";
                return std::nullopt;
            }
            buffer_ = bytes;
            need_ = total;
            line_ = r.line;
            return std::nullopt;
        }
        buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
        if (buffer_.size() < need_) return std::nullopt;
        Packet p{{buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(need_)}, line_};
        buffer_.clear();
        return p;
    }

private:
    std::vector<uint8_t> buffer_;
    std::size_t need_ = 0, line_ = 0;
};

std::string whyInvalid(const std::vector<uint8_t>& p) {
    if (p.size() < link::kHeaderSize) return "a packet shorter than its header";
    const auto header = std::span<const uint8_t>(p).first(link::kHeaderSize - 1);
    if (link::checksum(header) != p[link::kOffHeaderChecksum])
        return "header checksum " + hex2(p[link::kOffHeaderChecksum]) + ", expected " + hex2(link::checksum(header));
    if (p.size() > link::kHeaderSize) {
        const auto payload = std::span<const uint8_t>(p).subspan(link::kHeaderSize, p.size() - link::kHeaderSize - 1);
        if (link::checksum(payload) != p.back())
            return "payload checksum " + hex2(p.back()) + ", expected " + hex2(link::checksum(payload));
    }
    return "length field " + std::to_string(link::lengthField(p)) + " does not fit the packet";
}

class Checker {
public:
    explicit Checker(RecordingCheck& out) : out_(out) {}

    void report(const RecordedReport& r) {
        const bool toDevice = r.direction == ReportDirection::ToDevice;
        if (!toDevice) {
            // The driver drops a report identical to the one before it, unread.
            if (r.bytes == lastFromDevice_) return;
            lastFromDevice_ = r.bytes;
        }
        std::string problem;
        auto packet = (toDevice ? host_ : device_).feed(r, problem);
        if (!problem.empty())
            anomaly(r.line, std::string(toDevice ? "to the device: " : "from the device: ") + problem);
        if (!packet) return;
        (toDevice ? out_.packetsToDevice : out_.packetsFromDevice)++;
        if (!link::isValid(packet->bytes)) {
            anomaly(packet->line,
                    std::string(toDevice ? "to the device: " : "from the device: ") + whyInvalid(packet->bytes));
            return;
        }
        toDevice ? fromHost(*packet) : fromDevice(*packet);
    }

private:
    void anomaly(std::size_t line, std::string text) { out_.anomalies.push_back({line, std::move(text)}); }

    // The device's sequence numbers (control 0x40) run 1..250 and wrap; a resend repeats one.
    void deviceSequence(const std::vector<uint8_t>& p, std::size_t line) {
        if (p[link::kOffControl] != link::kControlAck) return;
        const uint8_t seq = p[link::kOffSeq];
        if (seq == 0 || seq > link::kMaxSeq)
            anomaly(line, "from the device: sequence number " + std::to_string(seq) + " outside 1..250");
        else if (deviceSeq_ && seq != *deviceSeq_ && seq != link::nextSeq(*deviceSeq_))
            anomaly(line, "from the device: sequence number jumps from " + std::to_string(*deviceSeq_) + " to " +
                              std::to_string(seq));
        deviceSeq_ = seq;
        ++deviceTaken_;
    }

    // The panel's number starts at 1 and moves on with every packet of the device's it takes. A program whose
    // reader runs on its own thread may write before it has taken reports already recorded, so the number may lag
    // behind the reports in the file, but never run ahead of them or go back.
    void panelSequence(const std::vector<uint8_t>& p, std::size_t line) {
        if (p[link::kOffControl] != link::kControlAck && p[link::kOffControl] != link::kControlSyncAck) return;
        const uint8_t seq = p[link::kOffSeq];
        for (uint64_t taken = panelTaken_; taken <= deviceTaken_; ++taken) {
            if (seq == static_cast<uint8_t>(taken % link::kMaxSeq + 1)) {
                panelTaken_ = taken;
                return;
            }
        }
        anomaly(line, "to the device: sequence number " + std::to_string(seq) + ", the panel's count says " +
                          std::to_string(deviceTaken_ % link::kMaxSeq + 1));
    }

    void fromHost(const Reassembly::Packet& packet) {
        const auto& p = packet.bytes;
        panelSequence(p, packet.line);
        const uint8_t session = p[link::kOffSession];
        if (session == link::kSessionControl) {
            const auto m = link::parseControlMessage(p);
            if (!m) return;
            if (m->id == link::kMsgIdentificationAccepted && !identified_)
                anomaly(packet.line, "IdentificationAccepted sent before the device identified itself");
            if (m->id == link::kMsgStartEAProtocolSession) sessionOpen_ = true;
        } else if (session == link::kSessionData) {
            const auto data = link::dataPayload(p);
            if (!data || data->application.empty()) return;
            if (!sessionOpen_) anomaly(packet.line, "a command sent before StartEAProtocolSession");
            const auto app = data->application;
            const uint8_t code = app[0];
            if (code < 0x80) ++outstanding_[code];
            if (code == cmd::kUpdateData && app.size() >= 6) lastBlock_ = Block{ByteReader(app, 1).u32le(), app[5]};
        }
    }

    void fromDevice(const Reassembly::Packet& packet) {
        const auto& p = packet.bytes;
        deviceSequence(p, packet.line);
        const uint8_t session = p[link::kOffSession];
        if (session == link::kSessionControl) {
            const auto m = link::parseControlMessage(p);
            if (m && m->id == link::kMsgIdentificationInformation) identification(*m, packet.line);
            return;
        }
        if (session != link::kSessionData) return;
        const auto data = link::dataPayload(p);
        if (!data || data->application.empty()) return;
        const auto app = data->application;
        const uint8_t code = app[0];
        if (code == cmd::kReplyBattery) return;  // the device sends these unasked
        if (code < 0x80) {
            anomaly(packet.line, "from the device: code " + hex2(code) + " is not a reply");
            return;
        }
        const uint8_t request = static_cast<uint8_t>(code - 0x80);
        // A resent request may be answered twice; a reply beyond the requests sent answers nothing.
        if (outstanding_[request] == 0)
            anomaly(packet.line, "reply " + hex2(code) + " answers no request " + hex2(request));
        else --outstanding_[request];
        if (code == cmd::kReplyPara) parameters(app, packet.line);
        if (const auto expected = replyLength(code); expected && app.size() != *expected)
            anomaly(packet.line, "reply " + hex2(code) + " has " + std::to_string(app.size()) + " bytes, its layout " +
                                     std::to_string(*expected));
        if (code == cmd::kReplyUpdateData && app.size() >= 7 && lastBlock_) {
            const uint32_t offset = ByteReader(app, 2).u32le();
            if (offset != lastBlock_->offset || app[6] != lastBlock_->length)
                anomaly(packet.line, "block reply echoes offset " + std::to_string(offset) + " length " +
                                         std::to_string(app[6]) + ", the block sent was offset " +
                                         std::to_string(lastBlock_->offset) + " length " +
                                         std::to_string(lastBlock_->length));
        }
    }

    // Replies whose layout has one length (code, then its fields).
    static std::optional<std::size_t> replyLength(uint8_t code) {
        switch (code) {
        case cmd::kReplyCpSerial:
            return 1 + cmd::kChipSerialBytes;
        case cmd::kReplyParaName:
            return 1 + cmd::kQuickKeys + cmd::kQuickKeys * cmd::kMaxNameBytes;
        case cmd::kReplyUpdateData:
            return 7;
        default:
            return std::nullopt;
        }
    }

    void identification(const link::ControlMessage& m, std::size_t line) {
        identified_ = true;
        const auto params = m.parameters();
        if (!params) {
            anomaly(line, "IdentificationInformation: its length field names more than the packet holds");
            return;
        }
        std::size_t at = 0;
        while (at + link::kParameterHeader <= params->size()) {
            const std::size_t length = ByteReader(*params, at).u16be();
            const uint16_t id = ByteReader(*params, at + 2).u16be();
            if (length < link::kParameterHeader || at + length > params->size()) {
                anomaly(line, "IdentificationInformation: parameter " + std::to_string(id) + " has length " +
                                  std::to_string(length) + " (" + std::to_string(params->size() - at) + " bytes left)");
                return;
            }
            if (id == kFirmwareVersionParameter) {
                const auto text = params->subspan(at + link::kParameterHeader, length - link::kParameterHeader);
                std::string version;
                for (uint8_t c : text) {
                    if (c == 0) break;
                    version += static_cast<char>(c);
                }
                out_.firmwareVersion = version;
                caps_ = FirmwareCaps::fromVersion(version);
            }
            at += length;
        }
    }

    void parameters(std::span<const uint8_t> app, std::size_t line) {
        const std::size_t count = app.size() - 1;
        ByteReader r(app, 1);
        const ParameterSet set = ParameterSet::fromPrefix(r.take(std::min(r.remaining(), ParameterSet::kSize)));
        const AdvancedSettings adv =
            AdvancedSettings::fromPrefix(r.take(std::min(r.remaining(), AdvancedSettings::kSize)));
        auto above = [this](int n) { return caps_.above(n); };
        const int code1 = checkParameterSet(set, static_cast<int>(count), above);
        const int code2 = checkAdvancedSettings(adv, above);
        if (code1 != 0 || code2 != 0)
            anomaly(line, "parameter report out of range for firmware " +
                              (out_.firmwareVersion.empty() ? std::string("(unknown)") : out_.firmwareVersion) +
                              ": check codes " + std::to_string(code1) + " and " + std::to_string(code2) +
                              " (the panel shows 收到的参数错误（" + std::to_string(code1) + "）(" +
                              std::to_string(code2) + "))");
    }

    RecordingCheck& out_;
    Reassembly host_, device_;
    std::vector<uint8_t> lastFromDevice_;
    std::optional<uint8_t> deviceSeq_;
    uint64_t deviceTaken_ = 0, panelTaken_ = 0;
    bool identified_ = false, sessionOpen_ = false;
    std::array<unsigned, 0x80> outstanding_{};
    FirmwareCaps caps_ = FirmwareCaps::fromVersion("");
    struct Block {
        uint32_t offset;
        uint8_t length;
    };
    std::optional<Block> lastBlock_;
};

}  // namespace

RecordingCheck checkRecording(const Recording& recording) {
    RecordingCheck out;
    for (const auto& problem : recording.problems) out.anomalies.push_back({0, problem});
    Checker checker(out);
    for (const RecordedReport& r : recording.reports) checker.report(r);
    return out;
}

}  // namespace qv7
