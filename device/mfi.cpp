// The protocol driver. Runs on one thread; never touches the device itself.
#include "device/mfi.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/byte_io.h"
#include "device/firmware_image.h"

namespace qv7 {

namespace {

// Verbatim on purpose, misspellings included: tests and users' log readers match these names.
// clang-format off
constexpr const char* kStepNames[] = {
    "mfiDecete",   "iPodAckSync", "StartIdentification", "IdentificationAccepted", "StartEAProtocolSession",
    "getCpSerail", "updateUnlock", "updateUnlockCode",   "updateSelect",           "updateStart",
    "updateData",  "updateOver",   "updateEarse",        "clean",                  "getpara",
    "setpara",     "setmix",       "setcharge",          "setmode",                "sGetParaName",
    nullptr,       "SetRepPara",   "SetAdvanced",
};
// clang-format on

bool isUpdateRequest(int step) {
    switch (step) {
    case kStepClean:
    case kStepUpdateUnlock:
    case kStepUpdateUnlockCode:
    case kStepUpdateSelect:
    case kStepUpdateStart:
    case kStepUpdateErase:
    case kStepUpdateData:
    case kStepUpdateOver:
        return true;
    default:
        return false;
    }
}

// Replies are read the way the device's fixed receive area holds them: whatever a short reply leaves
// out reads as zero.
class ZeroPadded {
public:
    explicit ZeroPadded(std::span<const uint8_t> payload) {
        std::copy_n(payload.begin(), std::min(payload.size(), area_.size()), area_.begin());
    }
    ByteReader at(std::size_t offset) const { return ByteReader(area_, offset); }
    uint8_t operator[](std::size_t offset) const { return at(offset).u8(); }

private:
    std::array<uint8_t, link::kMaxApplication + 8> area_{};
};

constexpr std::size_t kIdentificationArea = 1024;

std::string textUpToZero(std::span<const uint8_t> bytes) {
    const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
    return std::string(bytes.begin(), end);
}

}  // namespace

const char* stepName(int step) {
    if (step >= 0 && step < static_cast<int>(std::size(kStepNames))) return kStepNames[step];
    return "idle";
}

mfi::mfi() { mfiInit(); }

void mfi::mfiInit() {
    step_ = kStepIdle;
    seq_ = 1;
    ack_ = 0;
    detectCount_ = 0;
    paramsReceived_ = 0;
    setParaCount_ = 0;
    lastReport_.fill(0);
    expectingStart_ = true;
    filled_ = remaining_ = total_ = 0;
    identity_ = {};
    chipSerial_.clear();
    updateStage_ = 0;  // a transfer that broke off is started again from the beginning
}

void mfi::raise(const int (&e)[2]) {
    if (eventSink_) eventSink_->onLinkEvent(e[0], e[1]);
}

void mfi::trace(const char* fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n < 0) return;
    const std::string_view line(buf, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buf - 1));
    diag_(line);
}

void mfi::message(const char* fmt, int a, const char* caption) {
    char text[256];
    std::snprintf(text, sizeof text, fmt, a);
    if (messageSink_) messageSink_->showMessage(text, caption);
}

void mfi::message(const char* fmt, int a, int b, const char* caption) {
    char text[256];
    std::snprintf(text, sizeof text, fmt, a, b);
    if (messageSink_) messageSink_->showMessage(text, caption);
}

bool mfi::mfiVersionAbove(int n) const { return firmware().above(n); }

int mfi::parameterCount() const { return static_cast<int>(firmware().parameterCount()); }

int mfi::mfiCheckPara(const ParameterSet& set, int count) const {
    return checkParameterSet(set, count, [this](int n) { return mfiVersionAbove(n); });
}

int mfi::mfiCheckAdvanced(const AdvancedSettings& settings) const {
    return checkAdvancedSettings(settings, [this](int n) { return mfiVersionAbove(n); });
}

std::string mfi::quickKeyName(int k) const {
    if (k < 0 || k >= cmd::kQuickKeys) return {};
    const auto& slot = keyNames_[static_cast<std::size_t>(k)];
    return textUpToZero(std::span(slot).subspan(1));
}

// ---- setters ----

void mfi::mfiStart() { runStep(kStepDetect); }

void mfi::mfiSetPara(const ParameterSet& set) {
    if (mfiCheckPara(set, parameterCount()) != 0) return;
    pendingSet_ = set;
    runStep(kStepSetPara);
    trace("mfiSetPara(%d)\n", setParaCount_++);
}

int mfi::mfiSetAdvanced(const AdvancedSettings& settings) {
    if (const int code = mfiCheckAdvanced(settings); code != 0) return code;
    pendingAdvanced_ = settings;
    runStep(kStepSetAdvanced);
    return 0;
}

void mfi::mfiSetMix(int value) {
    if (value != 0 && value != 1) return;
    mixValue_ = static_cast<uint8_t>(value);
    runStep(kStepSetMix);
}

void mfi::mfiSetCharge(int value) {
    if (value != 0 && value != 1) return;
    chargeValue_ = static_cast<uint8_t>(value);
    runStep(kStepSetCharge);
}

void mfi::mfiSetMode(int mode) {
    if (mode < 0) return;
    mode_ = static_cast<uint8_t>(mode & 0xFF);
    runStep(kStepSetMode);
}

void mfi::mfiSetRepPara(const ParameterSet& set, const uint8_t* name, int nameLength, int keyIndex) {
    if (nameLength < 0 || nameLength > cmd::kMaxNameBytes || keyIndex < 0 || keyIndex > 2) return;
    keyPreset_ = set;
    keyName_.fill(0);
    if (nameLength > 0) std::memcpy(keyName_.data(), name, static_cast<std::size_t>(nameLength));
    keyNameLength_ = static_cast<uint8_t>(nameLength);
    keyIndex_ = static_cast<uint8_t>(keyIndex);
    runStep(kStepSetRepPara);
}

bool mfi::mfiBeginUpdate(std::span<const uint8_t> image, uint32_t checksum, uint8_t region) {
    if (image.empty() || image.size() > static_cast<std::size_t>(cmd::kMaxImage)) return false;
    image_.assign(image.begin(), image.end());
    imageLength_ = static_cast<int>(image.size());
    imageChecksum_ = checksum;
    region_ = region;
    bytesAcknowledged_ = 0;
    echoedOffset_ = 0;
    runStep(kStepUpdateStart);
    return true;
}

// ---- step machine ----

void mfi::setPending(std::span<const uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), outPacket_.begin());
    pendingLength_ = static_cast<int>(bytes.size());
}

void mfi::buildData(std::span<const uint8_t> application) {
    // An oversized payload builds nothing: whatever was pending stays.
    if (auto p = link::buildData(seq_, ack_, application)) setPending(*p);
}

void mfi::runStep(int newStep) {
    step_ = static_cast<uint8_t>(newStep);
    if (isUpdateRequest(newStep)) updateStage_ = static_cast<uint8_t>(newStep);
    mfiStep();
}

void mfi::mfiStep() {
    const int current = step_;
    if (!repeats(current)) {
        raise(ev::kPacketReady);
        return;
    }
    buildStep();
    if (current == kStepDetect) {
        ++detectCount_;
        if (detectCount_ > 2 && startMode_ == 1) step_ = kStepStartIdentification;
    }
    if (current == kStepAckSync) detectCount_ = 0;
    if (current == kStepUpdateData) {
        progressPercent_ =
            imageLength_ > 0 ? static_cast<int>(static_cast<int64_t>(bytesAcknowledged_) * 100 / imageLength_) : 0;
        raise(ev::kProgress);
        return;
    }
    if (current == kStepUpdateOver) raise(ev::kOverSent);
    trace("%s\n", stepName(current));
    raise(ev::kPacketReady);
}

void mfi::buildStep() {
    std::vector<uint8_t> a;  // application bytes of a data-session command
    switch (step_) {
    case kStepDetect:
        setPending(link::kDetect);
        return;
    case kStepAckSync:
        setPending(link::build(link::kControlSyncAck, seq_, ack_, link::kSessionLink, link::kLinkParameters));
        return;
    case kStepStartIdentification:
        setPending(link::buildControlMessage(seq_, ack_, link::kMsgStartIdentification, {}));
        return;
    case kStepIdentificationAccepted:
        setPending(link::buildControlMessage(seq_, ack_, link::kMsgIdentificationAccepted, {}));
        return;
    case kStepStartEAProtocolSession: {
        std::vector<uint8_t> params;
        const uint8_t protocol[] = {0x00};
        const uint8_t session[] = {0x00, 0x00};
        link::appendParameter(params, 0, protocol);
        link::appendParameter(params, 1, session);
        setPending(link::buildControlMessage(seq_, ack_, link::kMsgStartEAProtocolSession, params));
        return;
    }
    case kStepGetCpSerial:
        a = {cmd::kGetCpSerial};
        break;
    case kStepUpdateUnlock:
        a = {cmd::kUpdateUnlock};
        break;
    case kStepUpdateUnlockCode: {
        const auto code = unlockCode(challenge_, serialTail_);
        a = {cmd::kUpdateUnlockCode};
        a.insert(a.end(), code.begin(), code.end());
        break;
    }
    case kStepUpdateSelect:
        a = {cmd::kUpdateSelect, static_cast<uint8_t>(region_ + 1), static_cast<uint8_t>(~region_)};
        break;
    case kStepUpdateStart:
        a = {cmd::kUpdateStart};
        ByteWriter(a).u32le(static_cast<uint32_t>(imageLength_)).u32le(imageChecksum_);
        // "Date" for "Data" is verbatim on purpose: tests and users' log readers match the line.
        trace("UpdateDateFileLength(%d), UpdateCheckSum(0x%08x)\n", imageLength_, imageChecksum_);
        break;
    case kStepUpdateData: {
        const int n = std::min(cmd::kBlockSize, imageLength_ - bytesAcknowledged_);
        if (n <= 0) return;
        a = {cmd::kUpdateData};
        ByteWriter(a).u32le(static_cast<uint32_t>(bytesAcknowledged_)).u8(static_cast<uint8_t>(n));
        const auto from = image_.begin() + bytesAcknowledged_;
        a.insert(a.end(), from, from + n);
        break;
    }
    case kStepUpdateOver:
        a = {cmd::kUpdateOver};
        break;
    case kStepUpdateErase:
        a = {cmd::kUpdateErase};
        break;
    case kStepClean:
        a = {cmd::kClean, cmd::kCleanArgument};
        break;
    case kStepGetPara:
        a = {cmd::kGetPara, static_cast<uint8_t>(firmware().twoByteGetPara ? 2 : 1)};
        break;
    case kStepSetPara: {
        const auto b = pendingSet_.bytes();
        a = {cmd::kSetPara};
        a.insert(a.end(), b.begin(), b.begin() + parameterCount());
        break;
    }
    case kStepSetMix:
        a = {cmd::kSetMix, mixValue_, static_cast<uint8_t>(mixValue_ ? 0xFF : 0x00)};
        break;
    case kStepSetCharge:
        a = {cmd::kSetCharge, chargeValue_, static_cast<uint8_t>(chargeValue_ ? 0xFF : 0x00)};
        break;
    case kStepSetMode:
        a = {cmd::kSetMode, mode_};
        break;
    case kStepGetParaName:
        a = {cmd::kGetParaName};
        break;
    case kStepSetRepPara: {
        if (keyNameLength_ > cmd::kMaxNameBytes || keyIndex_ > 2) return;
        const auto b = keyPreset_.bytes();
        a = {cmd::kSetRepPara, keyIndex_, cmd::kSetRepParaSetLength, keyNameLength_};
        a.insert(a.end(), b.begin(), b.end());
        a.insert(a.end(), keyName_.begin(), keyName_.begin() + keyNameLength_);
        break;
    }
    case kStepSetAdvanced: {
        const auto b = pendingAdvanced_.bytes();
        a = {cmd::kSetAdvanced};
        a.insert(a.end(), b.begin(), b.begin() + static_cast<std::ptrdiff_t>(firmware().advancedCount()));
        break;
    }
    default:
        return;
    }
    buildData(a);
}

// ---- receive path ----

void mfi::mfiReceive(const uint8_t* report, int length) {
    pendingLength_ = 0;
    // Reports longer than the transport's 128-byte maximum are foreign: drop them.
    if (report == nullptr || length <= 0 || length > static_cast<int>(link::kMaxReport)) return;
    const std::span<const uint8_t> r(report, static_cast<std::size_t>(length));

    if (std::equal(r.begin(), r.end(), lastReport_.begin())) return;  // repetition filter
    std::copy(r.begin(), r.end(), lastReport_.begin());

    if (link::startsWithDetect(r)) {
        runStep(kStepDetect);
        return;
    }

    if (expectingStart_) {
        if (r.size() < 4 || r[0] != link::kStartHigh || r[1] != link::kStartLow) {
            expectingStart_ = true;
            filled_ = remaining_ = total_ = 0;
            return;
        }
        const int total = link::lengthField(r);
        if (total <= length) {
            processPacket(r.first(static_cast<std::size_t>(total)));
            return;
        }
        if (total > static_cast<int>(link::kReassemblySize)) return;  // cannot be held: drop it
        std::copy(r.begin(), r.end(), reassembly_.begin());
        filled_ = length;
        remaining_ = total - length;
        total_ = total;
        expectingStart_ = false;
        return;
    }

    // Continuation: only the bytes the packet still needs are kept; the surplus is never read.
    const int room = static_cast<int>(link::kReassemblySize) - filled_;
    std::copy_n(r.begin(), std::min(length, room), reassembly_.begin() + filled_);
    if (remaining_ > length) {
        filled_ += length;
        remaining_ -= length;
        return;
    }
    expectingStart_ = true;
    remaining_ = 0;
    processPacket(std::span<const uint8_t>(reassembly_.data(), static_cast<std::size_t>(total_)));
}

void mfi::processPacket(std::span<const uint8_t> q) {
    if (!link::isValid(q)) return;  // dropped without a trace
    const std::size_t T = q.size();
    const uint8_t control = q[link::kOffControl];
    const uint8_t session = q[link::kOffSession];
    ack_ = q[link::kOffAck];

    if (control == link::kControlSync) {
        if (session == link::kSessionLink && T == link::kSyncPacketSize) {
            runStep(kStepAckSync);
            return;
        }
    } else if (control == link::kControlAck) {
        seq_ = link::nextSeq(seq_);
        if (session == link::kSessionLink || session == link::kSessionControl) {
            switch (step_) {
            case kStepAckSync:
                runStep(kStepStartIdentification);
                break;
            case kStepIdentificationAccepted:
                runStep(kStepStartEAProtocolSession);
                break;
            case kStepStartEAProtocolSession:
                runStep(kStepGetCpSerial);
                break;
            case kStepSetPara:
            case kStepSetMix:
            case kStepSetCharge:
            case kStepSetMode:
            case kStepSetAdvanced:
                settingDone();
                break;
            case kStepSetRepPara:
                settingDone();
                raise(ev::kQuickKeyWritten);
                break;
            default:
                break;
            }
        }
    }

    if (T <= link::kHeaderSize) return;
    if (session == link::kSessionControl) {
        const auto msg = link::parseControlMessage(q);
        if (msg && msg->id == link::kMsgIdentificationInformation) {
            readIdentification(*msg);
            runStep(kStepIdentificationAccepted);
        }
    } else if (session == link::kSessionData) {
        // The session identifier is not looked at: the application bytes are taken as they come.
        const auto data = link::dataPayload(q);
        if (!data || data->application.size() > link::kMaxApplication) return;
        setPending(link::buildBareAck(seq_, q[link::kOffSeq]));
        onApplication(data->application);
    }
}

void mfi::readIdentification(const link::ControlMessage& msg) {
    // Parameters must lie inside the packet (before its checksum) and fit the 1024-byte work area.
    const auto named = msg.parameters();
    if (!named || named->size() > kIdentificationArea) return;
    const auto params = *named;
    const int count = static_cast<int>(params.size());

    auto lengthAt = [&](int pos) { return ByteReader(params, static_cast<std::size_t>(pos)).u16be(); };

    // Structure check. A length below 4 would never advance the walk: reject it.
    for (int pos = 0, left = count; left > 0;) {
        if (left < static_cast<int>(link::kParameterHeader)) return;
        const int len = lengthAt(pos);
        if (len < static_cast<int>(link::kParameterHeader) || len > left) return;
        if (len == left) break;
        pos += len;
        left -= len;
    }

    for (int pos = 0, left = count; left > 0;) {
        const int len = lengthAt(pos);
        const int id = ByteReader(params, static_cast<std::size_t>(pos) + 2).u16be();
        const auto data = params.subspan(static_cast<std::size_t>(pos) + link::kParameterHeader,
                                         static_cast<std::size_t>(len) - link::kParameterHeader);
        if (id >= 0 && id <= 5 && !data.empty() && data.back() == 0) {
            std::string* fields[] = {&identity_.Name,         &identity_.ModelIdentifier, &identity_.Manufacturer,
                                     &identity_.SerialNumber, &identity_.FirmwareVersion, &identity_.HardwareVersion};
            *fields[id] = textUpToZero(data);
        }
        if (id == 3 && !data.empty()) {
            // The ten bytes before the last one; a shorter serial is zero-padded in front.
            serialTail_.fill(0);
            const std::size_t before = data.size() - 1;
            const std::size_t take = std::min<std::size_t>(before, cmd::kSerialTailBytes);
            std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(before - take), take,
                        serialTail_.begin() + static_cast<std::ptrdiff_t>(cmd::kSerialTailBytes - take));
            std::string line = "serail_sn[10]=  ";  // verbatim on purpose: log readers match the misspelling
            char hex[8];
            for (uint8_t b : serialTail_) {
                std::snprintf(hex, sizeof hex, "0x%02x ", b);
                line += hex;
            }
            trace("%s\n", line.c_str());
        }
        if (len >= left) break;
        pos += len;
        left -= len;
    }
    raise(ev::kIdentified);
}

void mfi::onApplication(std::span<const uint8_t> p) {
    const ZeroPadded r(p);
    const uint8_t code = r[0];
    const uint8_t status = r[1];
    switch (code) {
    case cmd::kReplyBattery: {
        const unsigned value = r.at(1).u16le();
        char text[32];
        std::snprintf(text, sizeof text, "%1.2f V", static_cast<double>(static_cast<float>(value) / 100.0f));
        batteryText_ = text;
        raise(ev::kBattery);
        break;
    }
    case cmd::kReplyPara:
        onParameterReply(p);
        break;
    case cmd::kReplyCpSerial: {
        std::array<uint8_t, 64> area{};
        const auto serial = r.at(1).take(cmd::kChipSerialBytes);
        std::copy(serial.begin(), serial.end(), area.begin());
        chipSerial_ = textUpToZero(area);
        runStep(firmware().original ? kStepGetPara : kStepGetParaName);
        raise(ev::kChipSerial);
        break;
    }
    case cmd::kReplyParaName: {
        for (auto& slot : keyNames_) slot.fill(0);
        const uint8_t lengths[3] = {r[1], r[2], r[3]};
        for (std::size_t k = 0; k < 3; ++k) keyNames_[k][0] = lengths[k];
        if (std::all_of(std::begin(lengths), std::end(lengths), [](uint8_t n) { return n <= cmd::kMaxNameBytes; })) {
            for (std::size_t k = 0; k < 3; ++k) {
                const std::size_t field = 1 + cmd::kQuickKeys + cmd::kMaxNameBytes * k;  // after the lengths
                for (std::size_t i = 0; i < lengths[k]; ++i) keyNames_[k][1 + i] = r[field + i];
            }
        }
        runStep(kStepGetPara);
        raise(ev::kQuickKeyNames);
        break;
    }
    case cmd::kReplyClean:
        // A locked device answers the start (or a clean) with this: the unlock preamble comes first.
        if (updateStage_ == kStepUpdateStart || updateStage_ == kStepClean) runStep(kStepUpdateUnlock);
        break;
    case cmd::kReplyUnlock: {
        if (!answersStage(kStepUpdateUnlock)) break;
        std::string line = "unlock[12]=  ";
        char hex[8];
        for (std::size_t i = 0; i < cmd::kChallengeBytes; ++i) {
            challenge_[i] = r[1 + i];
            std::snprintf(hex, sizeof hex, "0x%02x ", challenge_[i]);
            line += hex;
        }
        trace("%s\n", line.c_str());
        runStep(kStepUpdateUnlockCode);
        break;
    }
    case cmd::kReplyUnlockCode:
        if (!answersStage(kStepUpdateUnlockCode)) break;
        if (status == 1) runStep(kStepUpdateSelect);
        else failTransfer("解锁失败,0x%02x！", status);
        break;
    case cmd::kReplySelect:
        if (!answersStage(kStepUpdateSelect)) break;
        if (status == 1) runStep(kStepUpdateStart);
        else failTransfer("选择升级区域失败,0x%02x！", status);
        break;
    case cmd::kReplyUpdateStart:
        if (!answersStage(kStepUpdateStart)) break;
        if (status == 1) runStep(kStepUpdateErase);
        else failTransfer("开始升级失败,0x%02x！", status);
        break;
    case cmd::kReplyUpdateErase:
        if (!answersStage(kStepUpdateErase)) break;
        if (status != 1) {
            failTransfer("擦除失败,0x%02x！", status);
        } else {
            bytesAcknowledged_ = 0;
            runStep(kStepUpdateData);
        }
        break;
    case cmd::kReplyUpdateData:
        if (answersStage(kStepUpdateData)) onUpdateBlockReply(r.at(1));
        break;
    case cmd::kReplyUpdateOver:
        if (!answersStage(kStepUpdateOver)) break;
        endTransfer();
        trace("CMD_UPDATE_OVER_OK(0x%02x)\n", status);
        if (status == 1) raise(ev::kUpdateDone);
        break;
    default:
        break;  // unknown replies are ignored
    }
}

void mfi::endTransfer() {
    step_ = kStepIdle;  // ticks (also while a message box is open) send nothing
    updateStage_ = 0;
}

void mfi::failTransfer(const char* fmt, uint8_t status) {
    endTransfer();
    message(fmt, status, "Error");
}

void mfi::settingDone() {
    // A setting sent during a firmware write took the transfer's step. Had the answer to the transfer's
    // outstanding request been lost meanwhile, idling here would leave the transfer waiting for ever:
    // ask again (a repeated request is answered and the extra answer ignored).
    if (updateStage_ != 0 && imageLength_ > 0) runStep(updateStage_);
    else step_ = kStepIdle;
}

bool mfi::answersStage(int requestStep) const { return imageLength_ > 0 && updateStage_ == requestStep; }

void mfi::onParameterReply(std::span<const uint8_t> p) {
    const int L = static_cast<int>(p.size());
    paramsReceived_ = 1;
    ParameterSet set{};
    AdvancedSettings adv{};
    // After the reply code: the parameter set, then (from a full set on) the advanced settings.
    ByteReader r(p, 1);
    set = ParameterSet::fromPrefix(r.take(std::min(r.remaining(), ParameterSet::kSize)));
    adv = AdvancedSettings::fromPrefix(r.take(std::min(r.remaining(), AdvancedSettings::kSize)));
    const int code1 = mfiCheckPara(set, L - 1);
    const int code2 = mfiCheckAdvanced(adv);
    if (code1 != 0 || code2 != 0) {
        step_ = kStepIdle;
        message("收到的参数错误（%d）(%d)", code1, code2, "Error");
        return;
    }
    if (L - 1 < static_cast<int>(ParameterSet::kSize)) {
        set.dodgeThreshold = set.dodgeSpeed = set.dodgeLevel = 4;
        set.hpfCutoff = set.lpfCutoff = 10;
    }
    deviceSet_ = set;
    deviceAdvanced_ = adv;
    if (step_ == kStepGetPara) step_ = kStepIdle;
    raise(ev::kParameters);
}

void mfi::onUpdateBlockReply(ByteReader reply) {
    // With the one-second repetition, a late or duplicated request puts two replies for one block on the
    // wire. A reply naming an offset the transfer has already passed answers a block that was counted:
    // counting it again would skip a block the device never took, and the device would then refuse every
    // later one. Any other offset is a device that echoes otherwise than we read it; waiting for the
    // offset we expect would resend the block for ever, so it moves the transfer on by what it took.
    const uint8_t status = reply.u8();
    echoedOffset_ = static_cast<int>(reply.u32le());
    const uint8_t echoedLength = reply.u8();
    const int sent = std::min(cmd::kBlockSize, imageLength_ - bytesAcknowledged_);
    if (status == 1) {
        if (echoedOffset_ != bytesAcknowledged_) {
            trace("error!!!!!!!!!!!!!!!\n");
            if (echoedOffset_ < bytesAcknowledged_) return;  // late or repeated: changes nothing
        }
        if (echoedLength > sent) {
            // The device claims bytes it was never sent: its count can no longer be trusted.
            endTransfer();
            message("写入固件失败：设备确认了%d字节，本块只有%d字节！", echoedLength, sent, "Error");
            return;
        }
        if (echoedLength == 0) return;  // nothing taken: the timer repeats the block
        bytesAcknowledged_ += echoedLength;
        runStep(bytesAcknowledged_ < imageLength_ ? kStepUpdateData : kStepUpdateOver);
    } else if (status == 2) {
        trace("error3333!!!!!!!!!!!!!!!\n");
        // A refusal names the offset the device holds; resume there when it lies behind ours. One that
        // names a later offset answers a request from before a resume and changes nothing.
        if (echoedOffset_ > bytesAcknowledged_ || echoedOffset_ < 0) return;
        bytesAcknowledged_ = echoedOffset_;
        runStep(kStepUpdateData);
    } else {
        trace("error222!!!!!!!!!!!!!!!\n");
    }
}

}  // namespace qv7
