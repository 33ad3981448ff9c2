// The panel-software check: once a day at most an offer, stamped in TolkaPanel.ini before it is shown.
#include "update/panel_check.h"

#include <cctype>
#include <memory>
#include <new>
#include <vector>

#include "common/app_dir.h"
#include "common/ini_file.h"
#include "update/hosts.h"
#include "update/version_check.h"

namespace qv7 {
namespace {

std::string iniPathOf(const PanelCheckContext& c) {
    return c.iniPath.empty() ? GetAppDirFile(kSettingsFileName) : c.iniPath;
}

std::time_t nowOf(const PanelCheckContext& c) { return c.now ? c.now() : std::time(nullptr); }

}  // namespace

std::string FormatToday(std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    return std::to_string(local.tm_year + 1900) + "-" + std::to_string(local.tm_mon + 1) + "-" +
           std::to_string(local.tm_mday);
}

std::string FormatToday() { return FormatToday(std::time(nullptr)); }

bool IsPanelCheckDue(const std::string& iniPath, std::time_t now, std::string* lastDate) {
    std::string stored = ReadIniString(iniPath, kSettingSection, kLastDateKey, kLastDateDefault, 512);
    bool due = stored != FormatToday(now);
    if (lastDate != nullptr) *lastDate = std::move(stored);
    return due;
}

bool IsPanelCheckDue(std::string* lastDate) {
    return IsPanelCheckDue(GetAppDirFile(kSettingsFileName), std::time(nullptr), lastDate);
}

bool IsWebAddress(std::string_view address) {
    const size_t colon = address.find(':');
    if (colon == std::string_view::npos) return false;
    std::string scheme(address.substr(0, colon));
    for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (scheme != "http" && scheme != "https") return false;
    std::string_view rest = address.substr(colon + 1);
    if (rest.substr(0, 2) != "//") return false;
    rest.remove_prefix(2);
    // The host: anything before the path, query or fragment, and not empty.
    if (rest.empty() || rest.front() == '/' || rest.front() == '?' || rest.front() == '#') return false;
    for (char c : address) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F || c == '\\') return false;
    }
    return true;
}

std::optional<PanelOffer> OnPanelVersionReply(std::string_view reply, const PanelCheckContext& context) {
    std::optional<VersionCheckReply> r = ParseVersionCheckReply(reply);
    if (!r || !r->offered()) return std::nullopt;
    // An offer that could not send the user anywhere is no offer, and the day is not spent on it.
    const HostSetting site = SiteHostSetting(context.siteHost);
    if (!site.ok()) return std::nullopt;

    // A stamp that cannot be written only means the next start-up asks again.
    WriteIniString(iniPathOf(context), kSettingSection, kLastDateKey, FormatToday(nowOf(context)));

    const std::string downloadPage = site.base + kDownloadPagePath;

    PanelOffer offer;
    offer.softwareVersion = r->softwareVersion;
    if (r->filesize >= kLinkFileLimit) {
        offer.address = downloadPage;
    } else {
        std::vector<uint8_t> file(r->filesize + 1u, 0);
        if (DownloadToBuffer(r->urlPath, r->filesize, file.data(), context.http) == 0) {
            file[r->filesize] = 0;
            offer.address =
                ExtractLinkAddress(std::string_view(reinterpret_cast<const char*>(file.data()), r->filesize));
        }
        // An empty address would open nothing and any other scheme something that is not a web page;
        // the download page is where the user can act.
        if (!IsWebAddress(offer.address)) offer.address = downloadPage;
    }
    offer.prompt = "    Tolka面板有更新的版本(" + r->softwareVersion + ")，请到Vexlor官网（" + site.host +
                   "）下载，或找Vexlor售后获取。\n" + "    是否去官网下载？";
    return offer;
}

std::optional<PanelOffer> RequestPanelVersion(const PanelCheckContext& context) {
    const std::string url = CheckUrlOrTrace(context.checkUrl, context.http.diagnostics);
    if (url.empty()) return std::nullopt;
    // Refused before anything is asked: an offer would have nowhere to send the user.
    if (const HostSetting site = SiteHostSetting(context.siteHost); !site.ok()) {
        orStdout(context.http.diagnostics)(site.error + "\n");
        return std::nullopt;
    }
    TraceCheckAddress(url, context.http.diagnostics);
    // The panel's versions are ASCII, so the GBK-to-UTF-8 step changes nothing here.
    std::string body = PanelVersionCheckRequest();
    std::string reply;
    int rc;
    {
        CHttpClient client(kUserAgent, context.http);
        rc = client.Post(url, body.c_str(), reply);
    }
    if (rc != kHttpOk) return std::nullopt;
    return OnPanelVersionReply(reply, context);
}

PanelCheckWorker::PanelCheckWorker(PanelCheckContext context, OfferHandler onOffer)
    : context_(std::move(context)), onOffer_(std::move(onOffer)) {
    context_.http.cancel = &cancel_;
}

PanelCheckWorker::~PanelCheckWorker() {
    cancel_.store(true);
    wait();
}

bool PanelCheckWorker::StartPanelCheckThread() {
    if (running_.exchange(true)) return false;
    if (thread_.joinable()) thread_.join();
    thread_ = std::thread([this] { PanelCheckThreadProc(); });
    return true;
}

void PanelCheckWorker::wait() {
    if (thread_.joinable()) thread_.join();
}

void PanelCheckWorker::PanelCheckThreadProc() {
    std::optional<PanelOffer> offer = RequestPanelVersion(context_);
    if (offer && !cancel_.load() && onOffer_) onOffer_(*offer);
    running_.store(false);
}

}  // namespace qv7
