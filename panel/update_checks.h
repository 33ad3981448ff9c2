// The window's two online checks: workers that never run window code, their results handed to the window thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "update/firmware_update.h"
#include "update/panel_check.h"

namespace qv7::panel {

// Queues a call to the window thread (the window does it with a queued Qt call; tests with a list).
using UiPost = std::function<void(std::function<void()>)>;

// A question with OK and Cancel; `answer` runs later, on the window thread, with true for OK.
using AskQuestion =
    std::function<void(const std::string& text, const std::string& caption, std::function<void(bool)> answer)>;

// Opens an address in the user's browser; tests stand in for it so no browser starts.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual void openUrl(const std::string& address) = 0;
};

// The firmware check of the current conversation. A result arrives only if no later conversation or
// removal has superseded the check that produced it.
class FirmwareCheckSlot {
public:
    using OfferHandler = std::function<void(const FirmwareOffer&)>;

    // `checkUrl` empty: VersionCheckUrl(), read when each check starts.
    FirmwareCheckSlot(UiPost post, OfferHandler onOffer, std::string checkUrl = {}, HttpOptions options = {});
    // Cancels and joins every worker; nothing is delivered afterwards.
    ~FirmwareCheckSlot();
    FirmwareCheckSlot(const FirmwareCheckSlot&) = delete;
    FirmwareCheckSlot& operator=(const FirmwareCheckSlot&) = delete;

    // Chip-serial of a conversation: supersedes any earlier check. While held, only the latest is kept.
    void start(std::string hardwareVersion, std::string softwareVersion);
    // Removal or a new connection: the check in flight is cancelled without waiting for its thread.
    void cancel();
    // Holding keeps checks from starting (the window's first frame comes first); release starts the one kept.
    void hold() { held_ = true; }
    void release();
    // A check of the current conversation is still on its way (or waiting for the release).
    bool running() const { return pending_.has_value() || (current_ && current_->running()); }
    // Workers not yet joined, the current one included.
    std::size_t threads() const { return retired_.size() + (current_ ? 1u : 0u); }

private:
    struct Delivery {
        unsigned generation = 0;
        OfferHandler onOffer;
    };
    void retire();
    void reap();

    UiPost post_;
    std::string checkUrl_;
    HttpOptions options_;
    // Shared with the queued calls, which may outlive a superseded worker; touched on the window thread only.
    std::shared_ptr<Delivery> delivery_;
    std::unique_ptr<FirmwareCheckWorker> current_;
    std::vector<std::unique_ptr<FirmwareCheckWorker>> retired_;
    bool held_ = false;
    struct Versions {
        std::string hardware;
        std::string software;
    };
    std::optional<Versions> pending_;
};

// The daily panel-software check of window initialisation, its prompt and the browser.
class PanelCheckSlot {
public:
    PanelCheckSlot(UiPost post, AskQuestion ask, UrlOpener& opener, PanelCheckContext context = {});
    // Cancels and joins the worker; a prompt not yet shown is never shown.
    ~PanelCheckSlot();
    PanelCheckSlot(const PanelCheckSlot&) = delete;
    PanelCheckSlot& operator=(const PanelCheckSlot&) = delete;

    // Starts the check when the stamp in TolkaPanel.ini is not today's; true when it started (or, while held,
    // will start at the release). The stamp is read at once either way.
    bool startIfDue();
    // As FirmwareCheckSlot's: a held check waits for the release.
    void hold() { held_ = true; }
    void release();
    // last_date as read by the last startIfDue ("null" when absent).
    const std::string& lastDate() const { return lastDate_; }
    bool running() const { return pending_.has_value() || (worker_ && worker_->running()); }

private:
    void onOffer(const PanelOffer& offer);
    bool startWorker(PanelCheckContext context);

    UiPost post_;
    AskQuestion ask_;
    UrlOpener& opener_;
    PanelCheckContext context_;
    std::string lastDate_;
    std::shared_ptr<bool> alive_;  // cleared at teardown, read by queued calls on the window thread
    std::unique_ptr<PanelCheckWorker> worker_;
    bool held_ = false;
    std::optional<PanelCheckContext> pending_;
};

}  // namespace qv7::panel
