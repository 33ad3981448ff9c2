// The protocol driver: step machine, link receive path, commands, replies and firmware transfer.
#pragma once

#include <array>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/line_writer.h"
#include "device/commands.h"
#include "device/firmware_caps.h"
#include "device/link_packet.h"
#include "params/parameter_set.h"

namespace qv7 {

// The (wParam, lParam) pairs the driver raises.
namespace ev {
constexpr int kIdentified[2] = {1, 1};
constexpr int kBattery[2] = {2, 1};
constexpr int kChipSerial[2] = {3, 1};
constexpr int kParameters[2] = {4, 1};
constexpr int kQuickKeyWritten[2] = {5, 1};
constexpr int kQuickKeyNames[2] = {6, 1};
constexpr int kPacketReady[2] = {8, 1};
constexpr int kProgress[2] = {8, 2};
constexpr int kOverSent[2] = {8, 4};
constexpr int kUpdateDone[2] = {8, 5};
}  // namespace ev

inline bool isEvent(int w, int l, const int (&e)[2]) { return w == e[0] && l == e[1]; }

// Receives the driver's events synchronously; the handler finishes before the driver goes on.
class LinkEventSink {
public:
    virtual ~LinkEventSink() = default;
    virtual void onLinkEvent(int wParam, int lParam) = 0;
};

// Modal notices (text and caption as the user sees them, UTF-8).
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(const std::string& text, const std::string& caption) = 0;
};

enum Step : uint8_t {
    kStepDetect = 0,
    kStepAckSync = 1,
    kStepStartIdentification = 2,
    kStepIdentificationAccepted = 3,
    kStepStartEAProtocolSession = 4,
    kStepGetCpSerial = 5,
    kStepUpdateUnlock = 6,
    kStepUpdateUnlockCode = 7,
    kStepUpdateSelect = 8,
    kStepUpdateStart = 9,
    kStepUpdateData = 10,
    kStepUpdateOver = 11,
    kStepUpdateErase = 12,
    kStepClean = 13,
    kStepGetPara = 14,
    kStepSetPara = 15,
    kStepSetMix = 16,
    kStepSetCharge = 17,
    kStepSetMode = 18,
    kStepGetParaName = 19,
    kStepNone = 20,
    kStepSetRepPara = 21,
    kStepSetAdvanced = 22,
    kStepIdle = 100,
};

const char* stepName(int step);  // the diagnostic name, or nullptr for steps that write none

struct DeviceIdentity {
    std::string Name, ModelIdentifier, Manufacturer, SerialNumber, FirmwareVersion, HardwareVersion;
};

class mfi {
public:
    static constexpr int kStepTimerMs = 1000;

    mfi();

    void setEventSink(LinkEventSink* sink) { eventSink_ = sink; }
    void setMessageSink(MessageSink* sink) { messageSink_ = sink; }
    // Where diagnostic lines go; standard output unless set.
    void setDiagnostics(LineWriter out) { diag_ = orStdout(std::move(out)); }

    void mfiInit();
    void mfiStart();
    void mfiStep();
    void mfiReceive(const uint8_t* report, int length);
    void mfiReceive(std::span<const uint8_t> report) { mfiReceive(report.data(), static_cast<int>(report.size())); }

    void mfiSetPara(const ParameterSet& set);
    int mfiSetAdvanced(const AdvancedSettings& settings);
    void mfiSetMix(int value);
    void mfiSetCharge(int value);
    void mfiSetMode(int mode);
    void mfiSetRepPara(const ParameterSet& set, const uint8_t* name, int nameLength, int keyIndex);
    // False (and nothing changes) for an empty image or one above 196,608 bytes.
    bool mfiBeginUpdate(std::span<const uint8_t> image, uint32_t checksum, uint8_t region = 0);

    bool mfiVersionAbove(int n) const;
    FirmwareCaps firmware() const { return FirmwareCaps::fromVersion(identity_.FirmwareVersion); }
    bool isOriginalFirmware() const { return firmware().original; }
    int parameterCount() const;
    bool mfiParamsReceived() const { return paramsReceived_ != 0; }
    int mfiCheckPara(const ParameterSet& set, int count) const;
    int mfiCheckAdvanced(const AdvancedSettings& settings) const;

    // The main window's side of the pending packet.
    std::span<const uint8_t> pendingPacket() const {
        return {outPacket_.data(), static_cast<std::size_t>(pendingLength_)};
    }
    int pendingLength() const { return pendingLength_; }
    void clearPending() { pendingLength_ = 0; }

    int step() const { return step_; }
    // No step to repeat and nothing left to write: a tick of the step timer would send nothing and
    // change nothing, so the timer may sleep until a step re-arms it.
    bool mfiIdle() const { return !repeats(step_) && pendingLength_ == 0; }
    uint8_t seq() const { return seq_; }
    uint8_t ack() const { return ack_; }
    int startMode() const { return startMode_; }
    void setStartMode(int mode) { startMode_ = mode; }
    int detectCount() const { return detectCount_; }
    int progressPercent() const { return progressPercent_; }

    const DeviceIdentity& identity() const { return identity_; }
    const std::string& chipSerial() const { return chipSerial_; }
    const std::string& batteryText() const { return batteryText_; }
    const ParameterSet& deviceParameters() const { return deviceSet_; }
    const AdvancedSettings& deviceAdvanced() const { return deviceAdvanced_; }
    // Text of quick-key slot k up to its first zero byte (GBK bytes).
    std::string quickKeyName(int k) const;
    std::array<uint8_t, cmd::kSerialTailBytes> serialTail() const { return serialTail_; }
    int bytesAcknowledged() const { return bytesAcknowledged_; }
    int imageLength() const { return imageLength_; }

private:
    // Steps a tick builds and sends again; the others only hand over what is pending.
    static bool repeats(int step) { return step != kStepNone && step <= kStepSetAdvanced; }

    void raise(const int (&e)[2]);
    void trace(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    void message(const char* fmt, int a, const char* caption);
    void message(const char* fmt, int a, int b, const char* caption);

    void setPending(std::span<const uint8_t> bytes);
    void buildData(std::span<const uint8_t> application);
    void runStep(int newStep);
    void buildStep();

    void processPacket(std::span<const uint8_t> q);
    void readIdentification(const link::ControlMessage& msg);
    void onApplication(std::span<const uint8_t> payload);
    void onParameterReply(std::span<const uint8_t> p);
    // `reply` stands after the reply code; bytes the reply left out read as zero.
    void onUpdateBlockReply(ByteReader reply);
    void endTransfer();
    void failTransfer(const char* fmt, uint8_t status);
    // True when a transfer is running and its outstanding request is the one `requestStep` sends.
    bool answersStage(int requestStep) const;
    void settingDone();

    LinkEventSink* eventSink_ = nullptr;
    MessageSink* messageSink_ = nullptr;
    LineWriter diag_ = orStdout({});

    uint8_t step_ = kStepIdle;
    uint8_t seq_ = 1;
    uint8_t ack_ = 0;
    int detectCount_ = 0;
    int startMode_ = 1;
    std::array<uint8_t, 128> outPacket_{};
    int pendingLength_ = 0;
    int progressPercent_ = 0;
    uint32_t paramsReceived_ = 0;
    int setParaCount_ = 0;

    // Receive state.
    std::array<uint8_t, link::kMaxReport> lastReport_{};
    bool expectingStart_ = true;
    std::array<uint8_t, link::kReassemblySize> reassembly_{};
    int filled_ = 0;
    int remaining_ = 0;
    int total_ = 0;

    DeviceIdentity identity_;
    std::string chipSerial_;
    std::string batteryText_;

    ParameterSet deviceSet_{}, pendingSet_{};
    AdvancedSettings deviceAdvanced_{}, pendingAdvanced_{};
    uint8_t mixValue_ = 0, chargeValue_ = 0, mode_ = 0;

    ParameterSet keyPreset_{};
    std::array<uint8_t, cmd::kNameArea> keyName_{};
    uint8_t keyNameLength_ = 0;
    uint8_t keyIndex_ = 0;
    std::array<std::array<uint8_t, 1 + cmd::kNameArea>, cmd::kQuickKeys> keyNames_{};

    std::vector<uint8_t> image_;
    int imageLength_ = 0;
    uint32_t imageChecksum_ = 0;
    uint8_t region_ = 0;
    int bytesAcknowledged_ = 0;
    int echoedOffset_ = 0;
    // The update request whose reply the transfer waits for (its step number), 0 when none. A setter
    // replaces step_ during a transfer; this remembers where the transfer stands.
    uint8_t updateStage_ = 0;
    std::array<uint8_t, cmd::kChallengeBytes> challenge_{};
    std::array<uint8_t, cmd::kSerialTailBytes> serialTail_{};
};

}  // namespace qv7
