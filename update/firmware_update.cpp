// The firmware offer flow: judged on a worker, verified twice at most, held and written from the UI thread.
#include "update/firmware_update.h"

#include <cstdio>
#include <new>

#include "common/gbk_text.h"
#include "device/firmware_image.h"
#include "device/mfi.h"
#include "update/hosts.h"
#include "update/version_check.h"

namespace qv7 {

std::string ChecksumText(uint32_t sum) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", sum);
    return text;
}

bool ChecksumMatches(std::string_view replyChecksum, uint32_t sum) {
    std::string lower(replyChecksum);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower == ChecksumText(sum);
}

std::string FirmwareVersionCheckRequest(std::string_view hardwareVersion, std::string_view softwareVersion) {
    return VersionCheckRequest(gbk::toUtf8Display(hardwareVersion), gbk::toUtf8Display(softwareVersion), kFirmwareType);
}

int DownloadAndVerify(const std::string& url, std::string_view checksum, uint32_t size, uint8_t* buffer,
                      const HttpOptions& options) {
    // Only the first `size` bytes are read: a longer file whose stated part carries the offered
    // checksum is the offered image, so it is not refused as DownloadToBuffer would refuse it.
    size_t received = 0;
    int rc;
    {
        CHttpClient client(kUserAgent, options);
        rc = client.Get(url, nullptr, buffer, size, received);
    }
    if (rc != kHttpOk || received != size) return -1;
    uint32_t sum = ImageWordSum(std::span<const uint8_t>(buffer, size));
    return ChecksumMatches(checksum, sum) ? 0 : -1;
}

std::optional<FirmwareOffer> DownloadOffer(const VersionCheckReply& reply, const HttpOptions& options) {
    FirmwareOffer offer;
    try {
        offer.image.resize(reply.filesize);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (DownloadAndVerify(reply.urlPath, reply.checksum, reply.filesize, offer.image.data(), options) != 0 &&
        DownloadAndVerify(reply.urlPath, reply.checksum, reply.filesize, offer.image.data(), options) != 0) {
        return std::nullopt;
    }
    offer.description = reply.description;
    offer.softwareVersion = reply.softwareVersion;
    offer.hardwareVersion = reply.hardwareVersion;
    return offer;
}

std::optional<FirmwareOffer> OnFirmwareVersionReply(std::string_view reply, const HttpOptions& options) {
    const OfferVerdict verdict = JudgeFirmwareReply(reply);
    if (verdict.kind != OfferVerdict::Kind::Offered) return std::nullopt;
    return DownloadOffer(*verdict.reply, options);
}

std::optional<FirmwareOffer> RequestFirmwareVersion(std::string_view hardwareVersion, std::string_view softwareVersion,
                                                    const std::string& checkUrl, const HttpOptions& options) {
    const std::string url = CheckUrlOrTrace(checkUrl, options.diagnostics);
    if (url.empty()) return std::nullopt;
    TraceCheckAddress(url, options.diagnostics);
    std::string body = FirmwareVersionCheckRequest(hardwareVersion, softwareVersion);
    std::string reply;
    int rc;
    {
        CHttpClient client(kUserAgent, options);
        rc = client.Post(url, body.c_str(), reply);
    }
    if (rc != kHttpOk) return std::nullopt;
    return OnFirmwareVersionReply(reply, options);
}

FirmwareCheckWorker::FirmwareCheckWorker(std::string checkUrl, HttpOptions options, OfferHandler onOffer)
    : checkUrl_(std::move(checkUrl)), options_(std::move(options)), onOffer_(std::move(onOffer)) {
    options_.cancel = &cancel_;
}

FirmwareCheckWorker::~FirmwareCheckWorker() {
    cancel_.store(true);
    wait();
}

bool FirmwareCheckWorker::StartFirmwareCheckThread(std::string hardwareVersion, std::string softwareVersion) {
    if (running_.exchange(true)) return false;
    if (thread_.joinable()) thread_.join();
    thread_ = std::thread([this, hw = std::move(hardwareVersion), sw = std::move(softwareVersion)]() mutable {
        FirmwareCheckThreadProc(std::move(hw), std::move(sw));
    });
    return true;
}

void FirmwareCheckWorker::wait() {
    if (thread_.joinable()) thread_.join();
}

// The thread owns its copies: the caller's strings may be gone before the check ends.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void FirmwareCheckWorker::FirmwareCheckThreadProc(std::string hardwareVersion, std::string softwareVersion) {
    std::optional<FirmwareOffer> offer = RequestFirmwareVersion(hardwareVersion, softwareVersion, checkUrl_, options_);
    if (offer && !cancel_.load() && onOffer_) onOffer_(std::move(*offer));
    running_.store(false);
}

std::string StalledLabel(int64_t seconds) {
    return "写入停滞，已 " + std::to_string(seconds) + " 秒无进展，请检查连接";
}

void FirmwareUpdateGroup::reset() {
    updateImageSize_ = 0;
    state_ = ButtonState::NoOffer;
    progress_ = 0;
    label_ = "0%";
    transfer_ = {};
    stalledLabel_.clear();
}

void FirmwareUpdateGroup::store(const FirmwareOffer& offer) {
    if (offer.image.empty() || offer.image.size() > kMaxFirmwareImage) return;
    updateImage_.fill(0);
    std::copy(offer.image.begin(), offer.image.end(), updateImage_.begin());
    updateImageSize_ = static_cast<uint32_t>(offer.image.size());
    updateDescription_ = offer.description;
    updateSoftwareVersion_ = offer.softwareVersion;
    state_ = ButtonState::ImageReady;
    transfer_ = {};
    stalledLabel_.clear();
}

const char* FirmwareUpdateGroup::buttonCaption() const {
    return state_ == ButtonState::NoOffer ? kUpdateCaptionNoOffer : kUpdateCaptionReady;
}

std::string FirmwareUpdateGroup::UpdatePrompt(std::string_view currentFirmwareVersion) const {
    return "改善内容：" + updateDescription_ + "\n" + "当前版本：" + std::string(currentFirmwareVersion) + "\n" +
           "新的版本：" + updateSoftwareVersion_ + "\n" + "更新过程中请保持Tolka连接电脑\n" + "是否需要更新？";
}

bool FirmwareUpdateGroup::OnUpdateButton(mfi& driver, const Confirm& confirm,
                                         const std::function<void()>& disableInteractive) {
    if (updateImageSize_ == 0 || state_ != ButtonState::ImageReady) return false;
    std::string prompt = UpdatePrompt(gbk::toUtf8Display(driver.identity().FirmwareVersion));
    if (!confirm || !confirm(prompt, kUpdatePromptCaption)) return false;
    return BeginFirmwareWrite(driver, disableInteractive);
}

bool FirmwareUpdateGroup::BeginFirmwareWrite(mfi& driver, const std::function<void()>& disableInteractive) {
    if (updateImageSize_ == 0) return false;
    if (disableInteractive) disableInteractive();
    std::span<const uint8_t> image(updateImage_.data(), updateImageSize_);
    if (!driver.mfiBeginUpdate(image, ImageWordSum(image), 0)) return false;
    state_ = ButtonState::Writing;
    transfer_ = {};
    stalledLabel_.clear();
    return true;
}

bool FirmwareUpdateGroup::watchTransfer(const mfi& driver, int64_t nowMs) {
    if (state_ != ButtonState::Writing) return false;
    if (!transfer_.started()) {
        transfer_.start(driver, nowMs);
    } else {
        transfer_.observe(driver, nowMs);
    }
    // The driver repeats the step every second whether or not the device answers, so only the
    // transfer's own progress counts; a write that has ended (done or failed) is never stalled.
    std::string notice;
    const int64_t idle = transfer_.sinceProgressMs(nowMs);
    if (!transfer_.ended() && idle >= kStallNoticeMs) notice = StalledLabel(idle / 1000);
    if (notice == stalledLabel_) return false;
    stalledLabel_ = std::move(notice);
    return true;
}

bool FirmwareUpdateGroup::onTransferEvent(int wParam, int lParam, int progressPercent) {
    if (isEvent(wParam, lParam, ev::kProgress)) {
        progress_ = progressPercent;
        label_ = std::to_string(progressPercent) + "%";
        return true;
    }
    if (isEvent(wParam, lParam, ev::kOverSent)) {
        label_ = kLabelOverSent;
        return true;
    }
    if (isEvent(wParam, lParam, ev::kUpdateDone)) {
        label_ = kLabelUpdateDone;
        return true;
    }
    return false;
}

}  // namespace qv7
