// The daily panel-software check: due rule, settings stamp, reply judgement and its worker thread.
#pragma once

#include <atomic>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "update/http_client.h"

namespace qv7 {

inline constexpr const char* kSettingsFileName = "TolkaPanel.ini";
inline constexpr const char* kSettingSection = "Setting";
inline constexpr const char* kLastDateKey = "last_date";
inline constexpr const char* kLastDateDefault = "null";
inline constexpr const char* kPanelPromptCaption = "新面板提醒";
// Link files are below this size; larger offers send the user to the download page.
inline constexpr uint32_t kLinkFileLimit = 1024;

// Local date of `now` as "%d-%d-%d" (year, month 1..12, day), without leading zeros.
std::string FormatToday(std::time_t now);
std::string FormatToday();

// The stored last_date (default "null") differs from today's date. `lastDate` receives what was read.
bool IsPanelCheckDue(const std::string& iniPath, std::time_t now, std::string* lastDate = nullptr);
bool IsPanelCheckDue(std::string* lastDate = nullptr);

// Everything the panel check needs from outside; defaults are the live ones.
struct PanelCheckContext {
    std::string iniPath;               // empty: GetAppDirFile("TolkaPanel.ini")
    std::string checkUrl;              // empty: VersionCheckUrl()
    std::string siteHost;              // empty: SiteHost()
    std::function<std::time_t()> now;  // empty: the system clock
    HttpOptions http;
};

// What the owner shows: a question with OK and Cancel; on OK it opens `address` in the browser.
struct PanelOffer {
    std::string softwareVersion;
    std::string address;
    std::string prompt;
    std::string caption = kPanelPromptCaption;
};

// An address the browser may be sent to: an http or https URL (scheme in any case) with a host, and
// nothing a shell or a URL parser could read differently (no spaces, no control characters). The link
// file comes from a server, and any other scheme would hand it to a file manager or a custom handler.
bool IsWebAddress(std::string_view address);

// Judges the reply; on an offer stamps today's date first (whatever the user answers later),
// then picks the address: the link file's address, or the download page.
std::optional<PanelOffer> OnPanelVersionReply(std::string_view reply, const PanelCheckContext& context);

// POSTs the panel request and judges the reply; every failure ends silently with nothing.
std::optional<PanelOffer> RequestPanelVersion(const PanelCheckContext& context);

// Runs RequestPanelVersion on its own thread. The offer goes to `onOffer` on that thread; a panel
// queues it to its UI thread, as the worker must never touch a widget.
class PanelCheckWorker {
public:
    using OfferHandler = std::function<void(const PanelOffer&)>;

    PanelCheckWorker(PanelCheckContext context, OfferHandler onOffer);
    // Cancels a request still in flight and waits for the thread; no offer is delivered after that.
    ~PanelCheckWorker();
    PanelCheckWorker(const PanelCheckWorker&) = delete;
    PanelCheckWorker& operator=(const PanelCheckWorker&) = delete;

    // False when a check is already running.
    bool StartPanelCheckThread();
    bool running() const { return running_.load(); }
    // Waits for the current thread, if any, to finish.
    void wait();

private:
    void PanelCheckThreadProc();

    PanelCheckContext context_;
    OfferHandler onOffer_;
    std::atomic<bool> running_{false};
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};

}  // namespace qv7
