// qv7ctl's firmware check and update, on the same flow the panel uses, with failures explained.
#include "cli/firmware_cli.h"

#include <istream>
#include <memory>
#include <ostream>

#include "cli/json_out.h"
#include "common/display_text.h"
#include "common/gbk_text.h"
#include "device/firmware_image.h"
#include "device/link_runner.h"
#include "device/mfi.h"
#include "device/transfer_progress.h"
#include "update/hosts.h"

namespace qv7 {
namespace {

const char* outcomeName(FirmwareCheckResult::Outcome o) {
    switch (o) {
    case FirmwareCheckResult::Outcome::Offered:
        return "offered";
    case FirmwareCheckResult::Outcome::NothingOffered:
        return "none";
    case FirmwareCheckResult::Outcome::RequestFailed:
        return "request-failed";
    case FirmwareCheckResult::Outcome::BadReply:
        return "bad-reply";
    case FirmwareCheckResult::Outcome::Refused:
        return "refused";
    case FirmwareCheckResult::Outcome::DownloadFailed:
        return "download-failed";
    }
    return "unknown";
}

Json::Value checkJson(const FirmwareCheckResult& r) {
    Json::Value v(Json::objectValue);
    v["result"] = outcomeName(r.outcome);
    v["offered"] = r.outcome == FirmwareCheckResult::Outcome::Offered;
    if (!r.detail.empty()) v["detail"] = r.detail;
    if (r.reply) {
        v["status"] = r.reply->status;
        v["softwareVersion"] = r.reply->softwareVersion;
        v["description"] = r.reply->description;
        v["filesize"] = r.reply->filesize;
        v["urlPath"] = r.reply->urlPath;
        v["hardwareVersion"] = r.reply->hardwareVersion;
        v["checksum"] = r.reply->checksum;
    }
    return v;
}

void printCheck(const FirmwareCheckResult& r, std::ostream& out) {
    switch (r.outcome) {
    case FirmwareCheckResult::Outcome::Offered:
        // The service writes these texts; on a terminal they stay text (--json keeps them as sent).
        out << "new firmware " << escapeControls(r.reply->softwareVersion) << " (" << r.reply->filesize
            << " bytes, checksum " << escapeControls(r.reply->checksum) << ", verified)\n"
            << "changes: " << escapeControls(r.reply->description) << "\n";
        break;
    case FirmwareCheckResult::Outcome::NothingOffered:
        out << "no newer firmware offered\n";
        break;
    default:
        break;
    }
}

bool failed(const FirmwareCheckResult& r) {
    return r.outcome != FirmwareCheckResult::Outcome::Offered &&
           r.outcome != FirmwareCheckResult::Outcome::NothingOffered;
}

// Forwards the driver's events to the session and watches the transfer's end.
class TransferWatch : public LinkEventSink {
public:
    TransferWatch(LinkEventSink& session, FirmwareUpdateGroup& group, mfi& driver, std::ostream& out, bool quiet)
        : session_(session), group_(group), driver_(driver), out_(out), quiet_(quiet) {}

    void onLinkEvent(int wParam, int lParam) override {
        session_.onLinkEvent(wParam, lParam);
        if (!group_.onTransferEvent(wParam, lParam, driver_.progressPercent())) return;
        if (isEvent(wParam, lParam, ev::kUpdateDone)) done = true;
        if (quiet_) return;
        if (isEvent(wParam, lParam, ev::kProgress)) {
            const int filled = group_.progressPosition() / 5;
            out_ << "\r[" << std::string(static_cast<size_t>(filled), '#')
                 << std::string(static_cast<size_t>(20 - filled), ' ') << "] " << group_.label() << std::flush;
        } else {
            out_ << "\n" << group_.label() << std::flush;
        }
    }

    bool done = false;

private:
    LinkEventSink& session_;
    FirmwareUpdateGroup& group_;
    mfi& driver_;
    std::ostream& out_;
    bool quiet_;
};

}  // namespace

FirmwareCheckResult CheckFirmware(std::string_view hardwareVersion, std::string_view softwareVersion,
                                  const FirmwareCliOptions& options) {
    FirmwareCheckResult r;
    std::string url = options.checkUrl;
    if (url.empty()) {
        const HostSetting host = CheckHostSetting();
        if (!host.ok()) {
            r.detail = host.error;
            return r;
        }
        url = host.base + kCheckPath;
    }
    std::string text;
    int rc;
    {
        HttpOptions http = options.http;
        std::string diag;
        http.diagnostics = [&diag](std::string_view line) { diag = line; };
        CHttpClient client(kUserAgent, http);
        rc = client.Post(url, FirmwareVersionCheckRequest(hardwareVersion, softwareVersion).c_str(), text);
        if (rc != kHttpOk) {
            const int status = client.httpStatus();
            r.detail =
                "POST " + url + " failed: result " + std::to_string(rc) + (rc == kHttpTimedOut ? " (time-out)" : "") +
                (status != 0 ? ", HTTP status " + std::to_string(status) : "") + (diag.empty() ? "" : ", " + diag);
            return r;
        }
    }
    OfferVerdict verdict = JudgeFirmwareReply(text);
    r.reply = std::move(verdict.reply);
    switch (verdict.kind) {
    case OfferVerdict::Kind::BadReply:
        r.outcome = FirmwareCheckResult::Outcome::BadReply;
        r.detail = "reply from " + url + " is " + verdict.detail;
        return r;
    case OfferVerdict::Kind::NothingOffered:
        r.outcome = FirmwareCheckResult::Outcome::NothingOffered;
        return r;
    case OfferVerdict::Kind::Refused:
        r.outcome = FirmwareCheckResult::Outcome::Refused;
        r.detail = verdict.detail;
        return r;
    case OfferVerdict::Kind::Offered:
        break;
    }
    r.offer = DownloadOffer(*r.reply, options.http);
    if (!r.offer) {
        r.outcome = FirmwareCheckResult::Outcome::DownloadFailed;
        r.detail = "download of " + r.reply->urlPath + " failed twice: expected " + std::to_string(r.reply->filesize) +
                   " bytes with checksum " + r.reply->checksum;
        return r;
    }
    r.outcome = FirmwareCheckResult::Outcome::Offered;
    return r;
}

int runFirmwareCheck(std::string_view hardwareVersion, std::string_view softwareVersion,
                     const FirmwareCliOptions& options, std::ostream& out, std::ostream& err) {
    FirmwareCheckResult r = CheckFirmware(hardwareVersion, softwareVersion, options);
    if (options.json) {
        out << cli::jsonText(checkJson(r)) << "\n";
    } else {
        printCheck(r, out);
    }
    if (failed(r)) {
        err << "firmware check: " << escapeControls(r.detail) << "\n";
        return cli::kFailed;
    }
    return cli::kOk;
}

int runFirmwareUpdate(LinkRunner& runner, const FirmwareCliOptions& options, std::istream& in, std::ostream& out,
                      std::ostream& err) {
    mfi& driver = runner.driver();
    const DeviceIdentity identity = driver.identity();
    FirmwareCheckResult r = CheckFirmware(identity.HardwareVersion, identity.FirmwareVersion, options);
    Json::Value report = checkJson(r);
    auto finish = [&](int code, const std::string& result) {
        if (options.json) {
            report["update"] = result;
            out << cli::jsonText(report) << "\n";
        }
        return code;
    };
    if (failed(r)) {
        err << "firmware update: " << escapeControls(r.detail) << "\n";
        return finish(cli::kFailed, "not started");
    }
    if (!options.json) printCheck(r, out);
    if (r.outcome == FirmwareCheckResult::Outcome::NothingOffered) return finish(cli::kOk, "nothing offered");

    FirmwareUpdateGroup group;
    group.reset();
    group.store(*r.offer);
    auto confirm = [&](const std::string& text, const std::string& caption) {
        if (options.yes) return true;
        out << caption << "\n" << text << " [y/N] " << std::flush;
        std::string answer;
        std::getline(in, answer);
        return answer == "y" || answer == "Y" || answer == "yes";
    };
    TransferWatch watch(runner.session(), group, driver, out, options.json);
    driver.setEventSink(&watch);
    if (!group.OnUpdateButton(driver, confirm)) {
        driver.setEventSink(&runner.session());
        if (group.state() == FirmwareUpdateGroup::ButtonState::ImageReady) return finish(cli::kFailed, "declined");
        err << "firmware update: the driver refused the image of " << group.updateImageSize() << " bytes\n";
        return finish(cli::kFailed, "refused by the driver");
    }
    // The driver goes back to its idle step when the device reports the end, or a failure
    // (which it has already shown through its message sink).
    TransferProgress progress;
    progress.start(driver, runner.clock().nowMs());
    LinkRunner::Outcome o = runner.runWhileProgressing([&] { return watch.done || driver.step() == kStepIdle; },
                                                       [&] { return progress.observe(driver, runner.clock().nowMs()); },
                                                       options.stallTimeoutMs);
    driver.setEventSink(&runner.session());
    if (!options.json) out << "\n";
    if (watch.done) return finish(cli::kOk, "done");
    if (o == LinkRunner::Outcome::Gone) {
        err << "firmware update: the device went away during the transfer\n";
        return finish(cli::kNoDevice, "device gone");
    }
    if (o == LinkRunner::Outcome::TimedOut) {
        err << "firmware update: no progress for " << (options.stallTimeoutMs + 999) / 1000
            << " s: " << progress.stalledText() << "\n";
        return finish(cli::kNoDevice, "stalled");
    }
    err << "firmware update: the device reported a failure at " << driver.progressPercent() << "%\n";
    return finish(cli::kFailed, "failed");
}

}  // namespace qv7
