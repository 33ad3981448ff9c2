// The simulated Tolka. It checks what it receives as strictly as the device would and answers
// every message of the link, the commands and the firmware transfer.
#include "sim/tolka_sim.h"

#include <algorithm>

#include "common/byte_io.h"
#include "device/commands.h"
#include "device/firmware_caps.h"
#include "device/firmware_image.h"
#include "device/link_packet.h"

namespace qv7::sim {

namespace {

std::vector<uint8_t> withNul(const std::string& s) {
    std::vector<uint8_t> v(s.begin(), s.end());
    v.push_back(0);
    return v;
}

}  // namespace

SimConfig defaultConfig() {
    SimConfig c;
    // "原声默认" of the built-in list: a plausible state for a fresh device.
    const ParameterSet::Bytes b = {14, 14, 14, 14, 0,  0,  0,  0,  10, 3,  12, 0, 2, 0, 9,
                                   0,  10, 0,  24, 24, 24, 24, 24, 24, 24, 4,  4, 7, 1, 20};
    c.parameters = ParameterSet::fromBytes(b);
    c.advanced = AdvancedSettings{0, 0, 0, 0, 0, 8, 8};
    // GBK names of three built-in presets: "原声", "唱歌", "喊麦".
    c.keys[0] = {c.parameters, std::string("\xD4\xAD\xC9\xF9")};
    c.keys[1] = {c.parameters, std::string("\xB3\xAA\xB8\xE8")};
    c.keys[2] = {c.parameters, std::string("\xBA\xB0\xC2\xF3")};
    return c;
}

TolkaSim::TolkaSim(SimConfig config) : config_(std::move(config)) {}

FirmwareCaps TolkaSim::firmware() const { return FirmwareCaps::fromVersion(config_.firmwareVersion); }

std::vector<Report> TolkaSim::packetOut(std::vector<uint8_t> packet) {
    // Split over as many 64-byte reports as the packet needs; the last one zero-padded.
    std::vector<Report> out;
    for (std::size_t off = 0; off < packet.size(); off += kReportLength) {
        Report r(kReportLength, 0);
        std::copy_n(packet.begin() + static_cast<std::ptrdiff_t>(off), std::min(kReportLength, packet.size() - off),
                    r.begin());
        out.push_back(std::move(r));
    }
    return out;
}

std::vector<Report> TolkaSim::dataOut(std::span<const uint8_t> application) {
    seq_ = link::nextSeq(seq_);
    auto p = link::buildData(seq_, lastHostSeq_, application);
    return p ? packetOut(*p) : std::vector<Report>{};
}

std::vector<Report> TolkaSim::ackOut() {
    seq_ = link::nextSeq(seq_);
    return packetOut(link::build(link::kControlAck, seq_, lastHostSeq_, link::kSessionLink, {}));
}

std::vector<Report> TolkaSim::reject() {
    ++stats_.rejected;
    return {};
}

std::vector<Report> TolkaSim::batteryReport() {
    std::vector<uint8_t> app = {cmd::kReplyBattery};
    ByteWriter(app).u16le(static_cast<uint16_t>(config_.batteryCentivolts & 0xFFFF));
    return dataOut(app);
}

std::vector<Report> TolkaSim::receive(std::span<const uint8_t> report) {
    ++stats_.reportsIn;
    if (report.size() >= link::kDetect.size() &&
        std::equal(link::kDetect.begin(), link::kDetect.end(), report.begin())) {
        seq_ = link::nextSeq(seq_);
        return packetOut(link::build(link::kControlSync, seq_, 0, link::kSessionLink, link::kLinkParameters));
    }
    if (report.size() < link::kHeaderSize || report[0] != link::kStartHigh || report[1] != link::kStartLow) {
        ++stats_.malformed;
        return {};
    }
    const std::size_t total = link::lengthField(report);
    if (total > report.size() || !link::isValid(report.first(total))) {
        ++stats_.malformed;
        return {};
    }
    // Whatever follows the packet in the report must be padding.
    if (!std::all_of(report.begin() + static_cast<std::ptrdiff_t>(total), report.end(),
                     [](uint8_t b) { return b == 0; })) {
        ++stats_.malformed;
        return {};
    }
    const auto q = report.first(total);
    const uint8_t control = q[link::kOffControl];
    const uint8_t session = q[link::kOffSession];
    lastHostSeq_ = q[link::kOffSeq];

    if (control == link::kControlSyncAck) {
        if (session != link::kSessionLink || total != link::kSyncPacketSize ||
            !std::equal(link::kLinkParameters.begin(), link::kLinkParameters.end(), q.begin() + link::kOffPayload))
            return reject();
        return ackOut();
    }
    if (control != link::kControlAck) return reject();
    if (session == link::kSessionLink) return {};  // the host's acknowledgement of our data
    if (session == link::kSessionControl) return onControl(q);
    if (session == link::kSessionData) {
        const auto data = link::dataPayload(q);
        if (!data || data->sessionIdentifier != link::kDataSessionIdentifier) return reject();
        ++stats_.commands;
        return onCommand(data->application);
    }
    return reject();
}

std::vector<Report> TolkaSim::onControl(std::span<const uint8_t> q) {
    const auto msg = link::parseControlMessage(q);
    if (!msg || !msg->lengthMatchesPacket()) return reject();
    switch (msg->id) {
    case link::kMsgStartIdentification: {
        if (!msg->body.empty()) return reject();
        std::vector<uint8_t> params;
        const std::string* texts[] = {&config_.name,   &config_.model,           &config_.manufacturer,
                                      &config_.serial, &config_.firmwareVersion, &config_.hardwareVersion};
        for (uint16_t i = 0; i < 6; ++i) link::appendParameter(params, i, withNul(*texts[i]));
        seq_ = link::nextSeq(seq_);
        return packetOut(link::buildControlMessage(seq_, lastHostSeq_, link::kMsgIdentificationInformation, params));
    }
    case link::kMsgIdentificationAccepted:
        if (!msg->body.empty()) return reject();
        return ackOut();
    case link::kMsgStartEAProtocolSession: {
        static constexpr uint8_t kExpected[] = {0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x06, 0x00, 0x01, 0x00, 0x00};
        if (!std::equal(msg->body.begin(), msg->body.end(), std::begin(kExpected), std::end(kExpected)))
            return reject();
        return ackOut();
    }
    default:
        return reject();
    }
}

std::vector<Report> TolkaSim::parameterReport() {
    std::vector<uint8_t> app = {cmd::kReplyPara};
    const auto p = config_.parameters.bytes();
    const FirmwareCaps caps = firmware();
    app.insert(app.end(), p.begin(), p.begin() + static_cast<std::ptrdiff_t>(caps.parameterCount()));
    if (!caps.original) {
        const auto a = config_.advanced.bytes();
        app.insert(app.end(), a.begin(), a.begin() + static_cast<std::ptrdiff_t>(caps.advancedCount()));
    }
    return dataOut(app);
}

std::vector<Report> TolkaSim::onCommand(std::span<const uint8_t> app) {
    const FirmwareCaps caps = firmware();
    const auto above = [&caps](int n) { return caps.above(n); };
    const std::size_t n = app.size();
    switch (app[0]) {
    case cmd::kGetCpSerial: {
        if (n != 1) return reject();
        std::vector<uint8_t> r = {cmd::kReplyCpSerial};
        std::vector<uint8_t> text(cmd::kChipSerialBytes, 0);
        std::copy_n(config_.chipSerial.begin(), std::min<std::size_t>(config_.chipSerial.size(), text.size()),
                    text.begin());
        r.insert(r.end(), text.begin(), text.end());
        return dataOut(r);
    }
    case cmd::kGetParaName: {
        if (n != 1) return reject();
        // Code, the three name lengths, then a 10-byte field for each name.
        std::vector<uint8_t> r(1 + cmd::kQuickKeys + cmd::kQuickKeys * cmd::kMaxNameBytes, 0);
        r[0] = cmd::kReplyParaName;
        for (std::size_t k = 0; k < cmd::kQuickKeys; ++k) {
            const std::string& name = config_.keys[k].name;
            // The length byte tells what the key holds, so a configured over-long name plays a damaged store;
            // the field itself has room for 10 bytes only.
            r[1 + k] = static_cast<uint8_t>(std::min<std::size_t>(name.size(), 255));
            const std::size_t len = std::min<std::size_t>(name.size(), cmd::kMaxNameBytes);
            const std::size_t field = 1 + cmd::kQuickKeys + cmd::kMaxNameBytes * k;
            std::copy_n(name.begin(), len, r.begin() + static_cast<std::ptrdiff_t>(field));
        }
        return dataOut(r);
    }
    case cmd::kGetPara: {
        if (n != 2 || app[1] != (caps.twoByteGetPara ? 2 : 1)) return reject();
        auto out = batteryReport();
        auto params = parameterReport();
        out.insert(out.end(), params.begin(), params.end());
        return out;
    }
    case cmd::kSetPara: {
        const int count = static_cast<int>(caps.parameterCount());
        if (n != static_cast<std::size_t>(count) + 1) return reject();
        ParameterSet set = config_.parameters;
        const auto b = ParameterSet::fromPrefix(app.subspan(1)).bytes();
        for (int i = 0; i < count; ++i) set.set(static_cast<std::size_t>(i), b[static_cast<std::size_t>(i)]);
        if (checkParameterSet(set, count, above) != 0) return reject();
        config_.parameters = set;
        return ackOut();
    }
    case cmd::kSetAdvanced: {
        const std::size_t count = caps.advancedCount();
        if (n != count + 1) return reject();
        AdvancedSettings adv = config_.advanced;
        for (std::size_t i = 0; i < count; ++i) adv.set(i, app[1 + i]);
        if (checkAdvancedSettings(adv, above) != 0) return reject();
        config_.advanced = adv;
        return ackOut();
    }
    case cmd::kSetMix:
    case cmd::kSetCharge: {
        if (n != 3 || !((app[1] == 0 && app[2] == 0x00) || (app[1] == 1 && app[2] == 0xFF))) return reject();
        (app[0] == cmd::kSetMix ? mix_ : charge_) = app[1];
        return ackOut();
    }
    case cmd::kSetMode: {
        if (n != 2 || app[1] > 2) return reject();
        mode_ = app[1];
        // The key's stored set becomes the live one and the device reports it.
        config_.parameters = config_.keys[mode_].set;
        auto out = ackOut();
        auto params = parameterReport();
        out.insert(out.end(), params.begin(), params.end());
        return out;
    }
    case cmd::kSetRepPara: {
        // Code, key, set length, name length, the whole set, then the name.
        constexpr std::size_t kSetAt = 4, kNameAt = kSetAt + ParameterSet::kSize;
        if (n < kNameAt || app[1] > 2 || app[2] != cmd::kSetRepParaSetLength || app[3] > cmd::kMaxNameBytes ||
            n != kNameAt + app[3])
            return reject();
        QuickKey& key = config_.keys[app[1]];
        key.set = ParameterSet::fromPrefix(app.subspan(kSetAt, ParameterSet::kSize));
        key.name.assign(app.begin() + kNameAt, app.end());
        return ackOut();
    }
    default:
        return onFirmware(app);
    }
}

std::vector<Report> TolkaSim::onFirmware(std::span<const uint8_t> app) {
    const std::size_t n = app.size();
    auto status = [this](uint8_t code, uint8_t st) {
        const uint8_t r[] = {code, st};
        return dataOut(r);
    };
    switch (app[0]) {
    case cmd::kClean:
        if (n != 2 || app[1] != cmd::kCleanArgument) return reject();
        unlocked_ = false;
        return dataOut(std::vector<uint8_t>{cmd::kReplyClean});
    case cmd::kUpdateUnlock: {
        if (n != 1) return reject();
        // A fresh challenge each time, from a counter: deterministic for tests.
        ++challengeCounter_;
        for (std::size_t i = 0; i < challenge_.size(); ++i)
            challenge_[i] = static_cast<uint8_t>((challengeCounter_ * 37u + i * 101u + 13u) & 0xFF);
        std::vector<uint8_t> r = {cmd::kReplyUnlock};
        r.insert(r.end(), challenge_.begin(), challenge_.end());
        return dataOut(r);
    }
    case cmd::kUpdateUnlockCode: {
        if (n != 1 + cmd::kUnlockCodeBytes) return reject();
        std::array<uint8_t, 10> tail{};
        const std::string& s = config_.serial;
        const std::size_t take = std::min<std::size_t>(s.size(), 10);
        std::copy_n(s.end() - static_cast<std::ptrdiff_t>(take), take, tail.end() - static_cast<std::ptrdiff_t>(take));
        const auto expected = unlockCode(challenge_, tail);
        unlocked_ = std::equal(expected.begin(), expected.end(), app.begin() + 1);
        return status(cmd::kReplyUnlockCode, unlocked_ ? 1 : 0);
    }
    case cmd::kUpdateSelect:
        if (n != 3) return reject();
        return status(cmd::kReplySelect, (unlocked_ && app[1] == 1 && app[2] == 0xFF) ? 1 : 0);
    case cmd::kUpdateStart: {
        if (n != 9) return reject();
        if (config_.hangAt == SimConfig::Hang::Start) return {};
        if (config_.requireUnlock && !unlocked_) return dataOut(std::vector<uint8_t>{cmd::kReplyClean});
        ByteReader r(app, 1);
        announcedLength_ = r.u32le();
        announcedChecksum_ = r.u32le();
        const bool ok = announcedLength_ > 0 && announcedLength_ <= static_cast<uint32_t>(cmd::kMaxImage);
        transferStarted_ = ok;
        lastOverStatus_ = -1;
        erased_ = false;
        return status(cmd::kReplyUpdateStart, ok ? 1 : 0);
    }
    case cmd::kUpdateErase:
        if (n != 1) return reject();
        if (config_.hangAt == SimConfig::Hang::Erase) return {};
        erased_ = transferStarted_;
        received_.assign(erased_ ? announcedLength_ : 0, 0xFF);
        nextOffset_ = 0;
        return status(cmd::kReplyUpdateErase, erased_ ? 1 : 0);
    case cmd::kUpdateData: {
        ByteReader block(app, 1);
        const uint32_t offset = block.u32le();
        const uint8_t len = block.u8();
        if (!block.ok()) return reject();
        if (n != 6u + len || len == 0 || len > cmd::kBlockSize || !erased_) return reject();
        if (config_.hangAt == SimConfig::Hang::Data && nextOffset_ >= config_.hangAtBytes) return {};
        // A block past the image or beyond a gap is refused, naming the offset the device holds so the
        // host can resume from there.
        const bool refused = offset > nextOffset_ || static_cast<uint64_t>(offset) + len > announcedLength_;
        std::vector<uint8_t> r = {cmd::kReplyUpdateData, static_cast<uint8_t>(refused ? 2 : 1)};
        ByteWriter(r).u32le(refused ? nextOffset_ : offset + config_.blockEchoShift).u8(len);
        if (refused) return dataOut(r);
        std::copy_n(app.begin() + 6, len, received_.begin() + offset);
        nextOffset_ = std::max(nextOffset_, offset + len);
        return dataOut(r);
    }
    case cmd::kUpdateOver: {
        if (n != 1) return reject();
        if (config_.hangAt == SimConfig::Hang::Over) return {};
        // The host repeats the end when its answer is lost: the repeat gets the same answer, not a
        // failure for a transfer that is already over.
        if (lastOverStatus_ >= 0) return status(cmd::kReplyUpdateOver, static_cast<uint8_t>(lastOverStatus_));
        const bool ok = erased_ && nextOffset_ == announcedLength_ && ImageWordSum(received_) == announcedChecksum_;
        if (ok) {
            installed_ = received_;
            ++updatesCompleted_;
        }
        transferStarted_ = erased_ = false;
        lastOverStatus_ = ok ? 1 : 0;
        return status(cmd::kReplyUpdateOver, ok ? 1 : 0);
    }
    default:
        return reject();
    }
}

}  // namespace qv7::sim
