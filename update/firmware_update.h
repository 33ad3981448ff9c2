// Firmware offers: check, download with verification, the held image, the update button and progress texts.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "device/transfer_progress.h"
#include "update/http_client.h"
#include "update/offer_judge.h"

namespace qv7 {

class mfi;

inline constexpr const char* kUpdateCaptionNoOffer = "无新版本";
inline constexpr const char* kUpdateCaptionReady = "有新版本,点击更新";
inline constexpr const char* kUpdatePromptCaption = "更新提醒";
inline constexpr const char* kLabelOverSent = "下载完成，等待写入";
inline constexpr const char* kLabelUpdateDone = "写入完成，更新成功";
// Label 1076 while a write has made no progress for kStallNoticeMs or more: "写入停滞，已 N 秒无进展，请检查连接".
inline constexpr int64_t kStallNoticeMs = 10'000;
std::string StalledLabel(int64_t seconds);

// ImageWordSum as eight lower-case hexadecimal digits.
std::string ChecksumText(uint32_t sum);
// The reply's checksum, lower-cased, equals the image's checksum text byte for byte.
bool ChecksumMatches(std::string_view replyChecksum, uint32_t sum);

// The firmware request body; the device's GBK identity strings are sent as UTF-8.
std::string FirmwareVersionCheckRequest(std::string_view hardwareVersion, std::string_view softwareVersion);

// GET the first `size` bytes into `buffer` and compare their checksum: 0 on a match, -1 for any
// failure, a shorter file or a mismatch.
int DownloadAndVerify(const std::string& url, std::string_view checksum, uint32_t size, uint8_t* buffer,
                      const HttpOptions& options = {});

// A verified image and the texts that go with it.
struct FirmwareOffer {
    std::vector<uint8_t> image;  // exactly `filesize` bytes
    std::string description;
    std::string softwareVersion;
    std::string hardwareVersion;
};

// Downloads and verifies the image a reply offers (JudgeFirmwareReply said Offered), trying a second
// time after a failure. Nothing when neither attempt gave the stated bytes with the stated checksum.
std::optional<FirmwareOffer> DownloadOffer(const VersionCheckReply& reply, const HttpOptions& options = {});

// Judges the reply, then downloads and verifies the image.
// Nothing on any failure, as every firmware-check failure is silent.
std::optional<FirmwareOffer> OnFirmwareVersionReply(std::string_view reply, const HttpOptions& options = {});

// POSTs the firmware request to `checkUrl` (empty: VersionCheckUrl()) and judges the reply.
std::optional<FirmwareOffer> RequestFirmwareVersion(std::string_view hardwareVersion, std::string_view softwareVersion,
                                                    const std::string& checkUrl = {}, const HttpOptions& options = {});

// Runs RequestFirmwareVersion on its own thread. The offer goes to `onOffer` on that thread; a
// panel queues it to its UI thread, which stores it in its FirmwareUpdateGroup.
class FirmwareCheckWorker {
public:
    using OfferHandler = std::function<void(FirmwareOffer)>;

    FirmwareCheckWorker(std::string checkUrl, HttpOptions options, OfferHandler onOffer);
    ~FirmwareCheckWorker();
    FirmwareCheckWorker(const FirmwareCheckWorker&) = delete;
    FirmwareCheckWorker& operator=(const FirmwareCheckWorker&) = delete;

    // The identity strings are copied, so the driver may change them while the check runs.
    // False when a check is already running.
    bool StartFirmwareCheckThread(std::string hardwareVersion, std::string softwareVersion);
    bool running() const { return running_.load(); }
    // Ends a request in flight at its next progress check without waiting for the thread; the
    // offer is then never delivered, so a window can let an old device's check go at once.
    void cancel() { cancel_.store(true); }
    void wait();

private:
    void FirmwareCheckThreadProc(std::string hardwareVersion, std::string softwareVersion);

    std::string checkUrl_;
    HttpOptions options_;
    OfferHandler onOffer_;
    std::atomic<bool> running_{false};
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};

// The update group of the main window without its widgets: the held image, the button's state and
// the progress texts. Used on the UI thread only.
class FirmwareUpdateGroup {
public:
    enum class ButtonState { NoOffer, ImageReady, Writing };

    // Window initialisation and device removal: no image, progress 0, label "0%".
    void reset();
    // A later offer replaces the held one and re-arms the button.
    void store(const FirmwareOffer& offer);

    ButtonState state() const { return state_; }
    const char* buttonCaption() const;
    bool buttonEnabled() const { return state_ == ButtonState::ImageReady; }
    int progressPosition() const { return progress_; }
    // The stall notice while there is one, otherwise the text of the last transfer event.
    const std::string& label() const { return stalledLabel_.empty() ? label_ : stalledLabel_; }

    uint32_t updateImageSize() const { return updateImageSize_; }
    const std::array<uint8_t, kMaxFirmwareImage>& updateImage() const { return updateImage_; }
    const std::string& updateDescription() const { return updateDescription_; }
    const std::string& updateSoftwareVersion() const { return updateSoftwareVersion_; }

    // The confirmation text for the device now running `currentFirmwareVersion`.
    std::string UpdatePrompt(std::string_view currentFirmwareVersion) const;

    using Confirm = std::function<bool(const std::string& text, const std::string& caption)>;

    // The button's handler: with an image held, asks `confirm` (OK and Cancel, caption "更新提醒")
    // and on OK runs BeginFirmwareWrite. True when the write started; Cancel changes nothing.
    bool OnUpdateButton(mfi& driver, const Confirm& confirm, const std::function<void()>& disableInteractive = {});
    // Calls `disableInteractive` (no setting may go out during the transfer), hands the image to
    // the driver with its checksum and region 0, and disables the button.
    bool BeginFirmwareWrite(mfi& driver, const std::function<void()>& disableInteractive = {});

    // The driver's transfer events (progress, over-sent, update-done); true when the label changed.
    bool onTransferEvent(int wParam, int lParam, int progressPercent);
    // Looks at the write in progress, at every step-timer tick and transfer event: from kStallNoticeMs
    // without progress on, the label says how long the write has stood still, until it moves again.
    // The first call after BeginFirmwareWrite starts the count. True when the label changed.
    bool watchTransfer(const mfi& driver, int64_t nowMs);
    // A write watchTransfer has not yet seen end: it still wants to be looked at every tick.
    bool watching() const { return state_ == ButtonState::Writing && !transfer_.ended(); }

private:
    std::array<uint8_t, kMaxFirmwareImage> updateImage_{};
    uint32_t updateImageSize_ = 0;
    std::string updateDescription_;
    std::string updateSoftwareVersion_;
    ButtonState state_ = ButtonState::NoOffer;
    int progress_ = 0;
    std::string label_ = "0%";
    TransferProgress transfer_;
    std::string stalledLabel_;
};

}  // namespace qv7
