// qv7ctl info, get, set and firmware write.
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <utility>

#include "cli/assignment.h"
#include "cli/commands.h"
#include "cli/json_out.h"
#include "device/firmware_image.h"
#include "device/setting_changes.h"
#include "presets/device_report.h"

namespace qv7::cli {

int cmdInfo(const Options& o, const Args& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "qv7ctl: info takes no arguments\n");
        return kUsage;
    }
    DeviceConnection c(o);
    if (const int rc = c.open(); rc != kOk) return rc;
    std::fputs(infoReport(c.driver(), c.transport().describe(), o.json).c_str(), stdout);
    return kOk;
}

int cmdGet(const Options& o, const Args& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "qv7ctl: get takes no arguments (use --json for scripts)\n");
        return kUsage;
    }
    DeviceConnection c(o);
    if (const int rc = c.open(); rc != kOk) return rc;
    std::fputs(
        settingsReport(c.driver().deviceParameters().bytes(), c.driver().deviceAdvanced().bytes(), o.json).c_str(),
        stdout);
    return kOk;
}

int cmdSet(const Options& o, const Args& args) {
    if (args.empty()) {
        std::fprintf(stderr, "qv7ctl: set needs NAME=VALUE arguments, e.g. set micVol=5 eqGain[6]=30\n");
        return kUsage;
    }
    std::vector<Assignment> changes;
    for (const auto& arg : args) {
        std::string error;
        auto a = parseAssignment(arg, error);
        if (!a) {
            std::fprintf(stderr, "qv7ctl: %s\n", error.c_str());
            return kUsage;
        }
        changes.push_back(*a);
    }
    DeviceConnection c(o);
    if (const int rc = c.open(); rc != kOk) return rc;
    mfi& d = c.driver();
    std::string error;
    const auto plan = applyAssignments(d, d.deviceParameters(), d.deviceAdvanced(), changes, error);
    if (!plan) {
        std::fprintf(stderr, "qv7ctl: %s\n", error.c_str());
        return kUsage;
    }

    const int64_t timeout = static_cast<int64_t>(o.timeoutSec) * 1000;
    auto acknowledged = [&] { return d.step() == kStepIdle; };
    if (plan->parametersChanged) {
        d.mfiSetPara(plan->parameters);
        if (const int rc = c.runUntil(acknowledged, timeout, "setpara"); rc != kOk) return rc;
    }
    if (plan->advancedChanged) {
        d.mfiSetAdvanced(plan->advanced);
        if (const int rc = c.runUntil(acknowledged, timeout, "SetAdvanced"); rc != kOk) return rc;
    }
    return kOk;
}

namespace {

// Runs one setter after start-up and waits for the device's acknowledgement.
int sendAndWait(const Options& o, const char* what, const std::function<void(mfi&)>& setter) {
    DeviceConnection c(o);
    if (const int rc = c.open(); rc != kOk) return rc;
    setter(c.driver());
    return c.runUntil([&] { return c.driver().step() == kStepIdle; }, static_cast<int64_t>(o.timeoutSec) * 1000, what);
}

int onOff(const char* command, const Args& args) {
    if (args.size() == 1 && (args[0] == "on" || args[0] == "off")) return args[0] == "on" ? 1 : 0;
    std::fprintf(stderr, "qv7ctl: %s needs on or off\n", command);
    return -1;
}

}  // namespace

int cmdMix(const Options& o, const Args& args) {
    const int v = onOff("mix", args);
    if (v < 0) return kUsage;
    return sendAndWait(o, "setmix", [v](mfi& d) { d.mfiSetMix(v); });
}

int cmdCharge(const Options& o, const Args& args) {
    const int v = onOff("charge", args);
    if (v < 0) return kUsage;
    return sendAndWait(o, "setcharge", [v](mfi& d) { d.mfiSetCharge(v); });
}

int cmdKey(const Options& o, const Args& args) {
    if (args.size() != 1 || args[0].size() != 1 || args[0][0] < '0' || args[0][0] > '2') {
        std::fprintf(stderr, "qv7ctl: key needs the quick-key number 0, 1 or 2\n");
        return kUsage;
    }
    const int k = args[0][0] - '0';
    return sendAndWait(o, "setmode", [k](mfi& d) { d.mfiSetMode(k); });
}

int cmdFirmwareWrite(const Options& o, const Args& args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "qv7ctl: firmware write needs one image file\n");
        return kUsage;
    }
    std::ifstream in(args[0], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "qv7ctl: cannot read %s: %s\n", args[0].c_str(), std::strerror(errno));
        return kUsage;
    }
    // Read at most one byte more than the device takes, to tell an oversized file without loading it.
    std::vector<uint8_t> image(static_cast<std::size_t>(cmd::kMaxImage) + 1);
    in.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
    image.resize(static_cast<std::size_t>(in.gcount()));
    if (image.empty() || image.size() > static_cast<std::size_t>(cmd::kMaxImage)) {
        std::fprintf(stderr, "qv7ctl: %s: an image must hold 1 to %d bytes%s\n", args[0].c_str(), cmd::kMaxImage,
                     image.empty() ? " (the file is empty)" : " (the file is larger)");
        return kUsage;
    }
    const uint32_t sum = ImageWordSum(image);

    DeviceConnection c(o);
    if (const int rc = c.open(); rc != kOk) return rc;
    const bool tty = isatty(fileno(stderr));
    c.onProgress = [&](int percent) {
        if (!tty) return;
        const int bars = percent * 30 / 100;
        std::fprintf(stderr, "\rwriting firmware [%.*s%.*s] %3d%%", bars, "##############################", 30 - bars,
                     "..............................", percent);
    };
    std::fprintf(stderr, "writing %zu bytes (checksum 0x%08x) to %s\n", image.size(), sum,
                 c.transport().describe().c_str());
    c.driver().mfiBeginUpdate(image, sum, 0);
    const int rc = c.runTransfer([&] { return c.updateDone || c.driver().step() == kStepIdle; });
    if (tty) std::fprintf(stderr, "\n");
    if (!c.stalled.empty()) {
        std::fprintf(stderr, "qv7ctl: no progress for %d s: %s (%s)\n", o.timeoutSec, c.stalled.c_str(),
                     c.transport().describe().c_str());
    }
    if (rc != kOk) return rc;
    if (!c.updateDone) {
        std::fprintf(
            stderr, "qv7ctl: the device did not accept the image (it reported a failure at the end of the transfer)\n");
        return kFailed;
    }
    std::printf("firmware written: %zu bytes, checksum 0x%08x\n", image.size(), sum);
    return kOk;
}

}  // namespace qv7::cli
