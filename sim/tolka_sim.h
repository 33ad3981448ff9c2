// The simulated Tolka: the device side of the link, commands and firmware transfer.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/commands.h"
#include "device/firmware_caps.h"
#include "params/parameter_set.h"
#include "sim/report_responder.h"

namespace qv7::sim {

struct QuickKey {
    ParameterSet set{};
    std::string name;  // GBK bytes, at most 10
};

struct SimConfig {
    std::string name = "Tolka";
    std::string model = "qv7";
    std::string manufacturer = "Vexlor";
    std::string serial = "QV7SIM0000000001";
    std::string firmwareVersion = "1.0.7";
    std::string hardwareVersion = "1.0";
    std::string chipSerial = "SIMCHIP-0416-1290-0001";
    unsigned batteryCentivolts = 385;
    bool requireUnlock = false;  // answer updateStart with the clean reply until unlocked
    // A device that hangs during a firmware write: from this command on it answers nothing of the
    // transfer (other commands still get their replies), so a host's patience can be tried.
    enum class Hang { None, Start, Erase, Data, Over };
    Hang hangAt = Hang::None;
    uint32_t hangAtBytes = 0;  // Data: blocks are answered until the device holds this many bytes
    // A device that names another offset than the block's when it takes one: the acknowledgement echoes the
    // block's offset plus this many bytes (the block is stored where it was sent; refusals stay exact).
    uint32_t blockEchoShift = 0;
    ParameterSet parameters{};  // filled with the first built-in set by defaultConfig()
    AdvancedSettings advanced{};
    std::array<QuickKey, 3> keys{};
};

SimConfig defaultConfig();

// Counters a test can look at to see the device was spoken to correctly.
struct SimStats {
    long reportsIn = 0;
    long malformed = 0;  // reports that were neither the detect sequence nor a valid packet
    long rejected = 0;   // well-formed commands with wrong lengths or values
    long commands = 0;
};

class TolkaSim : public ReportResponder {
public:
    static constexpr std::size_t kReportLength = 64;

    explicit TolkaSim(SimConfig config = defaultConfig());

    // One output report's data bytes in; the reports the device answers with out.
    std::vector<Report> receive(std::span<const uint8_t> report) override;
    // An unsolicited battery report, as the device sends now and then.
    std::vector<Report> batteryReport();

    const SimConfig& config() const { return config_; }
    SimConfig& config() { return config_; }
    const ParameterSet& parameters() const { return config_.parameters; }
    const AdvancedSettings& advanced() const { return config_.advanced; }
    int mix() const { return mix_; }
    int charge() const { return charge_; }
    int mode() const { return mode_; }
    const QuickKey& key(int k) const { return config_.keys.at(static_cast<std::size_t>(k)); }
    // The last image written completely and verified (0x93 status 1).
    const std::vector<uint8_t>& installedImage() const { return installed_; }
    int updatesCompleted() const override { return updatesCompleted_; }
    std::size_t installedImageSize() const override { return installed_.size(); }
    bool unlocked() const { return unlocked_; }
    const SimStats& stats() const { return stats_; }

private:
    std::vector<Report> packetOut(std::vector<uint8_t> packet);
    std::vector<Report> dataOut(std::span<const uint8_t> application);
    std::vector<Report> ackOut();
    std::vector<Report> onControl(std::span<const uint8_t> packet);
    std::vector<Report> onCommand(std::span<const uint8_t> app);
    std::vector<Report> onFirmware(std::span<const uint8_t> app);
    std::vector<Report> parameterReport();
    FirmwareCaps firmware() const;
    std::vector<Report> reject();

    SimConfig config_;
    uint8_t seq_ = 0;  // the device's own sequence number
    uint8_t lastHostSeq_ = 0;
    int mix_ = 0, charge_ = 0, mode_ = 0;
    SimStats stats_;

    // Firmware transfer.
    bool unlocked_ = false;
    bool transferStarted_ = false;
    bool erased_ = false;
    uint32_t announcedLength_ = 0;
    uint32_t announcedChecksum_ = 0;
    std::vector<uint8_t> received_;
    uint32_t nextOffset_ = 0;
    int lastOverStatus_ = -1;  // the answer to the last end of a transfer, until the next start
    std::array<uint8_t, cmd::kChallengeBytes> challenge_{};
    uint32_t challengeCounter_ = 0;
    std::vector<uint8_t> installed_;
    int updatesCompleted_ = 0;
};

}  // namespace qv7::sim
