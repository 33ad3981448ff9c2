// Worker results cross to the window thread as queued calls that first ask whether they still matter.
#include "panel/update_checks.h"

#include <algorithm>
#include <ctime>

#include "common/app_dir.h"
#include "update/hosts.h"

namespace qv7::panel {

FirmwareCheckSlot::FirmwareCheckSlot(UiPost post, OfferHandler onOffer, std::string checkUrl, HttpOptions options)
    : post_(std::move(post)), checkUrl_(std::move(checkUrl)), options_(std::move(options)),
      delivery_(std::make_shared<Delivery>(Delivery{0, std::move(onOffer)})) {}

FirmwareCheckSlot::~FirmwareCheckSlot() {
    delivery_->onOffer = nullptr;
    ++delivery_->generation;
    if (current_) current_->cancel();
    for (auto& w : retired_) w->cancel();
    // The destructors join; each request notices the cancellation at its next progress check.
    current_.reset();
    retired_.clear();
}

void FirmwareCheckSlot::retire() {
    ++delivery_->generation;
    if (!current_) return;
    current_->cancel();
    retired_.push_back(std::move(current_));
}

void FirmwareCheckSlot::reap() {
    // Only finished workers are joined here, so the window thread never waits on the network.
    std::erase_if(retired_, [](const std::unique_ptr<FirmwareCheckWorker>& w) { return !w->running(); });
}

void FirmwareCheckSlot::cancel() {
    pending_.reset();
    retire();
    reap();
}

void FirmwareCheckSlot::release() {
    held_ = false;
    if (!pending_) return;
    Versions versions = std::move(*pending_);
    pending_.reset();
    start(std::move(versions.hardware), std::move(versions.software));
}

void FirmwareCheckSlot::start(std::string hardwareVersion, std::string softwareVersion) {
    retire();
    reap();
    if (held_) {
        pending_ = Versions{std::move(hardwareVersion), std::move(softwareVersion)};
        return;
    }
    const unsigned generation = delivery_->generation;
    // The worker is handed its URL: the environment is read on the window thread only.
    std::string url = CheckUrlOrTrace(checkUrl_, options_.diagnostics);
    if (url.empty()) return;
    current_ = std::make_unique<FirmwareCheckWorker>(
        std::move(url), options_, [post = post_, delivery = delivery_, generation](FirmwareOffer offer) {
            post([delivery, generation, offer = std::move(offer)] {
                if (delivery->generation == generation && delivery->onOffer) delivery->onOffer(offer);
            });
        });
    current_->StartFirmwareCheckThread(std::move(hardwareVersion), std::move(softwareVersion));
}

PanelCheckSlot::PanelCheckSlot(UiPost post, AskQuestion ask, UrlOpener& opener, PanelCheckContext context)
    : post_(std::move(post)), ask_(std::move(ask)), opener_(opener), context_(std::move(context)),
      lastDate_(kLastDateDefault), alive_(std::make_shared<bool>(true)) {}

PanelCheckSlot::~PanelCheckSlot() {
    *alive_ = false;
    worker_.reset();
}

bool PanelCheckSlot::startIfDue() {
    if (running()) return false;
    // Everything from the environment is settled here, before the worker exists.
    PanelCheckContext context = context_;
    if (context.iniPath.empty()) context.iniPath = GetAppDirFile(kSettingsFileName);
    if (context.siteHost.empty()) context.siteHost = SiteHost();
    const std::time_t now = context.now ? context.now() : std::time(nullptr);
    if (!IsPanelCheckDue(context.iniPath, now, &lastDate_)) return false;
    context.checkUrl = CheckUrlOrTrace(context.checkUrl, context.http.diagnostics);
    if (context.checkUrl.empty()) return false;
    if (held_) {
        pending_ = std::move(context);
        return true;
    }
    return startWorker(std::move(context));
}

void PanelCheckSlot::release() {
    held_ = false;
    if (!pending_) return;
    PanelCheckContext context = std::move(*pending_);
    pending_.reset();
    startWorker(std::move(context));
}

bool PanelCheckSlot::startWorker(PanelCheckContext context) {
    worker_.reset();
    worker_ = std::make_unique<PanelCheckWorker>(std::move(context),
                                                 [post = post_, alive = alive_, this](const PanelOffer& offer) {
                                                     post([alive, this, offer] {
                                                         if (*alive) onOffer(offer);
                                                     });
                                                 });
    return worker_->StartPanelCheckThread();
}

void PanelCheckSlot::onOffer(const PanelOffer& offer) {
    // The date was stamped before this prompt: Cancel still keeps the check away for the day.
    ask_(offer.prompt, offer.caption, [opener = &opener_, address = offer.address](bool ok) {
        if (ok) opener->openUrl(address);
    });
}

}  // namespace qv7::panel
