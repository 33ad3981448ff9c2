// The simulated Tolka. It checks what it receives as strictly as the device would and answers
// every message of the link, the commands and the firmware transfer.
#include "sim/tolka_sim.h"

#include <algorithm>

#include "device/commands.h"
#include "device/firmware_image.h"
#include "device/link_packet.h"

namespace qv7::sim {

namespace {

uint32_t u32le(std::span<const uint8_t> p, std::size_t i) {
    return static_cast<uint32_t>(p[i]) | static_cast<uint32_t>(p[i + 1]) << 8 | static_cast<uint32_t>(p[i + 2]) << 16 |
           static_cast<uint32_t>(p[i + 3]) << 24;
}

void putU32le(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> withNul(const std::string& s) {
    std::vector<uint8_t> v(s.begin(), s.end());
    v.push_back(0);
    return v;
}

}  // namespace

SimConfig defaultConfig() {
    SimConfig c;
    // "原声默认" of the built-in list: a plausible state for a fresh device.
    const ParameterSet::Bytes b = {14, 14, 14, 14, 0, 0, 0, 0, 10, 3, 12, 0, 2, 0, 9,
                                   0,  10, 0,  24, 24, 24, 24, 24, 24, 24, 4, 4, 7, 1, 20};
    c.parameters = ParameterSet::fromBytes(b);
    c.advanced = AdvancedSettings{0, 0, 0, 0, 0, 8, 8};
    // GBK names of three built-in presets: "原声", "唱歌", "喊麦".
    c.keys[0] = {c.parameters, std::string("\xD4\xAD\xC9\xF9")};
    c.keys[1] = {c.parameters, std::string("\xB3\xAA\xB8\xE8")};
    c.keys[2] = {c.parameters, std::string("\xBA\xB0\xC2\xF3")};
    return c;
}

TolkaSim::TolkaSim(SimConfig config) : config_(std::move(config)) {}

bool TolkaSim::versionAbove(int n) const {
    std::string digits;
    for (char c : config_.firmwareVersion)
        if (c != '.') digits.push_back(c);
    if (digits.size() != 3 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    return std::stoi(digits) > n;
}

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
    seq_ = static_cast<uint8_t>(seq_ >= 250 ? 1 : seq_ + 1);
    auto p = link::buildData(seq_, lastHostSeq_, application);
    return p ? packetOut(*p) : std::vector<Report>{};
}

std::vector<Report> TolkaSim::ackOut() {
    seq_ = static_cast<uint8_t>(seq_ >= 250 ? 1 : seq_ + 1);
    return packetOut(link::build(link::kControlAck, seq_, lastHostSeq_, link::kSessionLink, {}));
}

std::vector<Report> TolkaSim::reject() {
    ++stats_.rejected;
    return {};
}

std::vector<Report> TolkaSim::batteryReport() {
    const uint8_t app[] = {cmd::kReplyBattery, static_cast<uint8_t>(config_.batteryCentivolts & 0xFF),
                           static_cast<uint8_t>((config_.batteryCentivolts >> 8) & 0xFF)};
    return dataOut(app);
}

std::vector<Report> TolkaSim::receive(std::span<const uint8_t> report) {
    ++stats_.reportsIn;
    if (report.size() >= link::kDetect.size() && std::equal(link::kDetect.begin(), link::kDetect.end(), report.begin())) {
        seq_ = static_cast<uint8_t>(seq_ >= 250 ? 1 : seq_ + 1);
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
    if (!std::all_of(report.begin() + static_cast<std::ptrdiff_t>(total), report.end(), [](uint8_t b) { return b == 0; })) {
        ++stats_.malformed;
        return {};
    }
    const auto q = report.first(total);
    const uint8_t control = q[link::kOffControl];
    const uint8_t session = q[link::kOffSession];
    lastHostSeq_ = q[link::kOffSeq];

    if (control == link::kControlSyncAck) {
        if (session != link::kSessionLink || total != link::kSyncPacketSize ||
            !std::equal(link::kLinkParameters.begin(), link::kLinkParameters.end(), q.begin() + 9))
            return reject();
        return ackOut();
    }
    if (control != link::kControlAck) return reject();
    if (session == link::kSessionLink) return {};  // the host's acknowledgement of our data
    if (session == link::kSessionControl) return onControl(q);
    if (session == link::kSessionData) {
        if (total <= link::kDataOverhead || q[9] != 0x00 || q[10] != 0x01) return reject();
        ++stats_.commands;
        return onCommand(q.subspan(11, total - link::kDataOverhead));
    }
    return reject();
}

std::vector<Report> TolkaSim::onControl(std::span<const uint8_t> q) {
    if (q.size() < 16 || q[9] != 0x40 || q[10] != 0x40) return reject();
    const std::size_t msgLength = static_cast<std::size_t>(q[11] << 8 | q[12]);
    if (msgLength != q.size() - 10) return reject();
    const uint16_t id = static_cast<uint16_t>(q[13] << 8 | q[14]);
    switch (id) {
    case link::kMsgStartIdentification: {
        if (msgLength != 6) return reject();
        std::vector<uint8_t> params;
        const std::string* texts[] = {&config_.name,   &config_.model,           &config_.manufacturer,
                                      &config_.serial, &config_.firmwareVersion, &config_.hardwareVersion};
        for (uint16_t i = 0; i < 6; ++i) link::appendParameter(params, i, withNul(*texts[i]));
        seq_ = static_cast<uint8_t>(seq_ >= 250 ? 1 : seq_ + 1);
        return packetOut(link::buildControlMessage(seq_, lastHostSeq_, link::kMsgIdentificationInformation, params));
    }
    case link::kMsgIdentificationAccepted:
        if (msgLength != 6) return reject();
        return ackOut();
    case link::kMsgStartEAProtocolSession: {
        static constexpr uint8_t kExpected[] = {0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x06, 0x00, 0x01, 0x00, 0x00};
        if (msgLength != 17 || !std::equal(std::begin(kExpected), std::end(kExpected), q.begin() + 15)) return reject();
        return ackOut();
    }
    default:
        return reject();
    }
}

std::vector<Report> TolkaSim::parameterReport() {
    std::vector<uint8_t> app = {cmd::kReplyPara};
    const auto p = config_.parameters.bytes();
    app.insert(app.end(), p.begin(), p.begin() + (originalFirmware() ? 25 : 30));
    if (!originalFirmware()) {
        const auto a = config_.advanced.bytes();
        app.insert(app.end(), a.begin(), a.begin() + (versionAbove(106) ? 7 : 3));
    }
    return dataOut(app);
}

std::vector<Report> TolkaSim::onCommand(std::span<const uint8_t> app) {
    const auto above = [this](int n) { return versionAbove(n); };
    const std::size_t n = app.size();
    switch (app[0]) {
    case cmd::kGetCpSerial: {
        if (n != 1) return reject();
        std::vector<uint8_t> r = {cmd::kReplyCpSerial};
        std::vector<uint8_t> text(cmd::kChipSerialBytes, 0);
        std::copy_n(config_.chipSerial.begin(), std::min<std::size_t>(config_.chipSerial.size(), text.size()), text.begin());
        r.insert(r.end(), text.begin(), text.end());
        return dataOut(r);
    }
    case cmd::kGetParaName: {
        if (n != 1) return reject();
        std::vector<uint8_t> r(34, 0);
        r[0] = cmd::kReplyParaName;
        for (std::size_t k = 0; k < 3; ++k) {
            const std::string& name = config_.keys[k].name;
            // The length byte tells what the key holds, so a configured over-long name plays a damaged store;
            // the field itself has room for 10 bytes only.
            r[1 + k] = static_cast<uint8_t>(std::min<std::size_t>(name.size(), 255));
            const std::size_t len = std::min<std::size_t>(name.size(), cmd::kMaxNameBytes);
            std::copy_n(name.begin(), len, r.begin() + static_cast<std::ptrdiff_t>(4 + 10 * k));
        }
        return dataOut(r);
    }
    case cmd::kGetPara: {
        if (n != 2 || app[1] != (versionAbove(101) ? 2 : 1)) return reject();
        auto out = batteryReport();
        auto params = parameterReport();
        out.insert(out.end(), params.begin(), params.end());
        return out;
    }
    case cmd::kSetPara: {
        const int count = originalFirmware() ? 25 : 30;
        if (n != static_cast<std::size_t>(count) + 1) return reject();
        ParameterSet set = config_.parameters;
        const auto b = ParameterSet::fromPrefix(app.subspan(1)).bytes();
        for (int i = 0; i < count; ++i) set.set(static_cast<std::size_t>(i), b[static_cast<std::size_t>(i)]);
        if (checkParameterSet(set, count, above) != 0) return reject();
        config_.parameters = set;
        return ackOut();
    }
    case cmd::kSetAdvanced: {
        const std::size_t count = versionAbove(106) ? 7 : 3;
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
        if (n < 34 || app[1] > 2 || app[2] != cmd::kSetRepParaSetLength || app[3] > cmd::kMaxNameBytes ||
            n != 34u + app[3])
            return reject();
        QuickKey& key = config_.keys[app[1]];
        key.set = ParameterSet::fromPrefix(app.subspan(4, 30));
        key.name.assign(app.begin() + 34, app.end());
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
        announcedLength_ = u32le(app, 1);
        announcedChecksum_ = u32le(app, 5);
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
        if (n < 6) return reject();
        const uint32_t offset = u32le(app, 1);
        const uint8_t len = app[5];
        if (n != 6u + len || len == 0 || len > cmd::kBlockSize || !erased_) return reject();
        if (config_.hangAt == SimConfig::Hang::Data && nextOffset_ >= config_.hangAtBytes) return {};
        // A block past the image or beyond a gap is refused, naming the offset the device holds so the
        // host can resume from there.
        const bool refused = offset > nextOffset_ || static_cast<uint64_t>(offset) + len > announcedLength_;
        std::vector<uint8_t> r = {cmd::kReplyUpdateData, static_cast<uint8_t>(refused ? 2 : 1)};
        putU32le(r, refused ? nextOffset_ : offset);
        r.push_back(len);
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
