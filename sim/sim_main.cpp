// qv7-sim: a simulated Tolka for tests, demos and people without the hardware.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/report_recording.h"
#include "sim/replay_device.h"
#include "sim/sim_server.h"
#include "sim/tolka_sim.h"
#include "sim/uhid_device.h"

namespace {

std::atomic<bool> stopRequested{false};

void onSignal(int) { stopRequested = true; }

void usage(FILE* to) {
    std::fputs(
        "usage: qv7-sim --listen PATH | --uhid [options]\n"
        "       qv7-sim --help | --version\n"
        "  --listen PATH        serve the device on a local SOCK_SEQPACKET socket\n"
        "  --uhid               be a kernel HID device 0416:1290 through /dev/uhid instead\n"
        "  --firmware VERSION   FirmwareVersion to report (default 1.0.7; e.g. 1.0.0, 1.0.2, 1.0.6)\n"
        "  --battery CV         battery voltage in hundredths of a volt (default 385)\n"
        "  --serial TEXT        SerialNumber (default QV7SIM0000000001)\n"
        "  --name TEXT          Name (default Tolka)\n"
        "  --chip-serial TEXT   chip serial (default SIMCHIP-0416-1290-0001)\n"
        "  --require-unlock     ask for the unlock preamble before a firmware write\n"
        "  --hang-at STAGE      stop answering a firmware write at start, erase, over or data:BYTES\n"
        "  --block-echo-shift N acknowledge each firmware block naming its offset plus N bytes\n"
        "  --faults LIST        faults on both directions, e.g. drop=0.3,dup=0.1,split=0.1,corrupt=0.05,delay=0.2:300,seed=7\n"
        "  --faults-in LIST     faults on reports to the device only\n"
        "  --faults-out LIST    faults on reports from the device only\n"
        "  --unplug-after N     the device goes away after sending N reports\n"
        "  --replay FILE        answer as the device of a recording (qv7ctl --record) did, and report on\n"
        "                       standard error where the program's requests differ from it\n"
        "  --verbose            log every report on standard error\n",
        to);
}

bool parseCount(const char* text, long& out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < 0) return false;
    out = v;
    return true;
}

// Serves a recording's device side; exit 1 when the program's requests left the recording.
int serveReplay(const std::string& file, const qv7::sim::ServerOptions& options) {
    qv7::Recording recording;
    std::string error;
    if (!qv7::readRecording(file, recording, error)) {
        std::fprintf(stderr, "qv7-sim: %s\n", error.c_str());
        return 2;
    }
    for (const auto& problem : recording.problems)
        std::fprintf(stderr, "qv7-sim: %s: %s\n", file.c_str(), problem.c_str());
    qv7::sim::ReplayDevice device(std::move(recording));
    device.onDivergence = [](const std::string& line) { std::fprintf(stderr, "qv7-sim: replay: %s\n", line.c_str()); };
    std::fprintf(stderr, "qv7-sim: replaying %s (%zu requests) on unix:%s\n", file.c_str(), device.requestsRecorded(),
                 options.path.c_str());
    const int rc = qv7::sim::serveSocket(device, options, stopRequested);
    std::fprintf(stderr, "qv7-sim: replay: %zu of %zu recorded requests matched, %zu divergences\n",
                 device.requestsMatched(), device.requestsRecorded(), device.divergences().size());
    return rc != 0 ? rc : (device.divergences().empty() ? 0 : 1);
}

}  // namespace

int main(int argc, char** argv) {
    qv7::sim::SimConfig config = qv7::sim::defaultConfig();
    qv7::sim::ServerOptions options;
    bool uhid = false;
    std::string replay;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "qv7-sim: %s needs %s\n", a.c_str(), what);
                std::exit(2);
            }
            return argv[++i];
        };
        auto faults = [&](qv7::sim::FaultConfig& f) {
            std::string error;
            if (!f.parse(value("a fault list"), error)) {
                std::fprintf(stderr, "qv7-sim: %s: %s\n", a.c_str(), error.c_str());
                std::exit(2);
            }
        };
        long n = 0;
        if (a == "--listen") options.path = value("a socket path");
        else if (a == "--firmware") config.firmwareVersion = value("a version");
        else if (a == "--serial") config.serial = value("a serial number");
        else if (a == "--name") config.name = value("a name");
        else if (a == "--chip-serial") config.chipSerial = value("a chip serial");
        else if (a == "--require-unlock") config.requireUnlock = true;
        else if (a == "--hang-at") {
            const std::string stage = value("start, erase, over or data:BYTES");
            using Hang = qv7::sim::SimConfig::Hang;
            if (stage == "start") config.hangAt = Hang::Start;
            else if (stage == "erase") config.hangAt = Hang::Erase;
            else if (stage == "over") config.hangAt = Hang::Over;
            else if (stage.rfind("data:", 0) == 0 && parseCount(stage.c_str() + 5, n) && n <= 0xFFFFFFFF) {
                config.hangAt = Hang::Data;
                config.hangAtBytes = static_cast<uint32_t>(n);
            } else {
                std::fprintf(stderr, "qv7-sim: --hang-at needs start, erase, over or data:BYTES, got '%s'\n",
                             stage.c_str());
                return 2;
            }
        } else if (a == "--replay") replay = value("a recording");
        else if (a == "--uhid") uhid = true;
        else if (a == "--verbose") options.verbose = true;
        else if (a == "--faults") {
            faults(options.toDevice);
            options.toHost = options.toDevice;
            options.toHost.seed = options.toDevice.seed + 1;
        } else if (a == "--faults-in") faults(options.toDevice);
        else if (a == "--faults-out") faults(options.toHost);
        else if (a == "--battery" || a == "--unplug-after" || a == "--block-echo-shift") {
            const char* v = value("a number");
            if (!parseCount(v, n) || (a == "--battery" && n > 65535) || (a == "--block-echo-shift" && n > 0xFFFFFFFF)) {
                std::fprintf(stderr, "qv7-sim: bad number '%s' for %s\n", v, a.c_str());
                return 2;
            }
            if (a == "--battery") config.batteryCentivolts = static_cast<unsigned>(n);
            else if (a == "--block-echo-shift") config.blockEchoShift = static_cast<uint32_t>(n);
            else options.unplugAfter = n;
        } else if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("qv7-sim %s\n", QV7_VERSION);
            return 0;
        } else {
            std::fprintf(stderr, "qv7-sim: unknown option '%s'\n", a.c_str());
            usage(stderr);
            return 2;
        }
    }
    if (config.serial.size() < 10) {
        std::fprintf(stderr, "qv7-sim: --serial needs at least 10 characters (the unlock code uses its tail)\n");
        return 2;
    }
    if (uhid) {
        qv7::sim::TolkaSim device(config);
        return qv7::sim::runUhidDevice(device,
                                       {options.toDevice, options.toHost, options.unplugAfter, options.verbose});
    }
    if (options.path.empty()) {
        usage(stderr);
        return 2;
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    if (!replay.empty()) return serveReplay(replay, options);
    qv7::sim::TolkaSim device(config);
    std::fprintf(stderr, "qv7-sim: Tolka (firmware %s) on unix:%s\n", config.firmwareVersion.c_str(),
                 options.path.c_str());
    return qv7::sim::serveSocket(device, options, stopRequested);
}
