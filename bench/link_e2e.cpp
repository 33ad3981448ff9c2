// The whole link against its physical limit: qv7ctl's own connection code (LinkRunner over
// SocketTransport) talks to the simulated Tolka behind a socket that answers each report after an
// emulated latency, and every phase is compared with a bare 64-byte ping-pong of as many round trips
// over the same kind of socket with the same latency: what no stop-and-wait protocol can beat.
//
// usage: link_e2e [--reps N] [--latency-us LIST] [--image-bytes N] [--quick] [--relative-sleep]
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/latency_server.h"
#include "cli/device_connection.h"
#include "device/commands.h"
#include "device/firmware_image.h"
#include "sim/tolka_sim.h"

namespace {

using namespace qv7;
using bench::LatencyServer;
using bench::RoundTripTimes;

constexpr int kReportBytes = 64;
constexpr int kPhases = 3;
constexpr const char* kPhaseNames[kPhases] = {"start-up", "one setting", "firmware write"};

struct Options {
    int reps = 5;
    std::vector<long> latenciesUs = {0, 1000, 2000};
    long imageBytes = 98304;
    LatencyServer::Sleep sleep = LatencyServer::Sleep::Deadline;
    bool record = false;  // qv7ctl's --record on every conversation
};

// One phase of one repetition: the driver's run and the ping-pong of as many round trips.
struct Sample {
    double wallMs = 0;
    long roundTrips = 0;
    double floorMs = 0;
    double deviceUs = 0, hostUs = 0, hostMaxUs = 0;  // per round trip, the driver's run
    double floorDeviceUs = 0, floorHostUs = 0;       // per round trip, the ping-pong
};

double msSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

std::vector<uint8_t> testImage(std::size_t n) {
    std::vector<uint8_t> image(n);
    for (std::size_t i = 0; i < n; ++i) image[i] = static_cast<uint8_t>(i * 7 + i / 256 + 1);
    return image;
}

RoundTripTimes minus(const RoundTripTimes& a, const RoundTripTimes& b) {
    return {a.roundTrips - b.roundTrips, a.deviceNs - b.deviceNs, a.hostNs - b.hostNs, a.hostMaxNs};
}

void fillLink(Sample& s, const RoundTripTimes& t) {
    s.roundTrips = t.roundTrips;
    if (t.roundTrips == 0) return;
    s.deviceUs = static_cast<double>(t.deviceNs) / 1e3 / static_cast<double>(t.roundTrips);
    s.hostUs = static_cast<double>(t.hostNs) / 1e3 / static_cast<double>(t.roundTrips);
    s.hostMaxUs = static_cast<double>(t.hostMaxNs) / 1e3;
}

// The driver's three phases on a fresh simulated Tolka. False, having said why, when one failed.
bool runDriver(const Options& opt, const std::string& path, long latencyUs, const std::vector<uint8_t>& image,
               Sample (&out)[kPhases]) {
    sim::TolkaSim device;
    LatencyServer server(
        path, latencyUs,
        [&device](std::span<const uint8_t> report) {
            std::vector<uint8_t> r(sim::TolkaSim::kReportLength, 0);
            std::copy_n(report.begin(), std::min(report.size(), r.size()), r.begin());
            return device.receive(r);
        },
        opt.sleep);
    std::string error;
    if (!server.listen(error)) {
        std::fprintf(stderr, "link_e2e: %s\n", error.c_str());
        return false;
    }
    cli::Options o;
    o.device = "unix:" + path;
    o.timeoutSec = 60;  // only bounds a hang; a loaded machine is slow, never this slow
    if (opt.record) o.record = path + ".rec";
    cli::DeviceConnection c(o);

    auto phase = [&](Sample& s, auto&& body) {
        server.startPhase();
        const RoundTripTimes before = server.times();
        const auto t0 = std::chrono::steady_clock::now();
        const int rc = body();
        s.wallMs = msSince(t0);
        fillLink(s, minus(server.times(), before));
        return rc;
    };

    if (phase(out[0], [&] { return c.open(); }) != cli::kOk) return false;

    // A set of one parameter, as `qv7ctl set` sends it: the whole set with one value changed.
    ParameterSet set = c.driver().deviceParameters();
    set.monitorVol = static_cast<uint8_t>(set.monitorVol > 0 ? set.monitorVol - 1 : set.monitorVol + 1);
    if (c.driver().mfiCheckPara(set, c.driver().parameterCount()) != 0) set = c.driver().deviceParameters();
    const int setRc = phase(out[1], [&] {
        c.driver().mfiSetPara(set);
        return c.runUntil([&] { return c.driver().step() == kStepIdle; }, int64_t{60000}, "setpara");
    });
    if (setRc != cli::kOk) return false;

    // The firmware write as `qv7ctl firmware write` runs it.
    const int fwRc = phase(out[2], [&] {
        c.driver().mfiBeginUpdate(image, ImageWordSum(image), 0);
        return c.runTransfer([&] { return c.updateDone || c.driver().step() == kStepIdle; });
    });
    server.stop();
    if (fwRc != cli::kOk || !c.updateDone || device.installedImage() != image) {
        std::fprintf(stderr, "link_e2e: the firmware write failed (rc %d%s)\n", fwRc,
                     c.stalled.empty() ? "" : (", " + c.stalled).c_str());
        return false;
    }
    return true;
}

// The floor: `roundTrips` bare exchanges of one report each way, nothing else. Timed from the connect
// when the phase it stands for opens the link (start-up); otherwise after one untimed exchange, on a
// link that is already up, as the driver's later phases find it.
bool pingPong(const Options& opt, const std::string& path, long latencyUs, long roundTrips, bool withConnect,
              Sample& s) {
    LatencyServer server(
        path, latencyUs,
        [](std::span<const uint8_t> report) {
            return std::vector<LatencyServer::Report>{LatencyServer::Report(report.begin(), report.end())};
        },
        opt.sleep);
    std::string error;
    if (!server.listen(error)) {
        std::fprintf(stderr, "link_e2e: %s\n", error.c_str());
        return false;
    }
    auto t0 = std::chrono::steady_clock::now();
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        std::fprintf(stderr, "link_e2e: cannot connect to %s: %s\n", path.c_str(), std::strerror(errno));
        if (fd >= 0) ::close(fd);
        return false;
    }
    uint8_t out[kReportBytes] = {0x55}, in[256];
    auto exchange = [&](long i) {
        out[1] = static_cast<uint8_t>(i);
        return ::send(fd, out, sizeof out, MSG_NOSIGNAL) == kReportBytes &&
               ::recv(fd, in, sizeof in, 0) == kReportBytes;
    };
    bool ok = withConnect || exchange(-1);
    server.startPhase();
    const RoundTripTimes before = server.times();
    if (!withConnect) t0 = std::chrono::steady_clock::now();
    for (long i = 0; i < roundTrips && ok; ++i) ok = exchange(i);
    s.floorMs = msSince(t0);
    ::close(fd);
    server.stop();
    if (!ok) {
        std::fprintf(stderr, "link_e2e: the ping-pong broke off\n");
        return false;
    }
    const RoundTripTimes t = minus(server.times(), before);
    if (t.roundTrips > 0) {
        s.floorDeviceUs = static_cast<double>(t.deviceNs) / 1e3 / static_cast<double>(t.roundTrips);
        s.floorHostUs = static_cast<double>(t.hostNs) / 1e3 / static_cast<double>(t.roundTrips);
    }
    return true;
}

bool parseLong(const char* text, long lo, long hi, long& out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool parseLatencies(const std::string& text, std::vector<long>& out) {
    out.clear();
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        long v = 0;
        if (!parseLong(text.substr(from, comma - from).c_str(), 0, 100000, v) || out.size() >= 16) return false;
        out.push_back(v);
        from = comma + 1;
    }
    return !out.empty();
}

int usage() {
    std::fputs(
        "usage: link_e2e [--reps N] [--latency-us LIST] [--image-bytes N] [--quick] [--record] [--relative-sleep]\n"
        "  --reps N          repetitions, the median is shown (default 5, at most 100)\n"
        "  --latency-us LIST emulated per-report latencies in microseconds (default 0,1000,2000)\n"
        "  --image-bytes N   firmware image size (default 98304, at most 196608)\n"
        "  --record          record every conversation as qv7ctl --record does (its cost beside a run without)\n"
        "  --quick           one repetition at 0 latency with a 4400-byte image\n"
        "  --relative-sleep  emulate the latency with a relative sleep after the answer is made (to show\n"
        "                    what that drift costs; the floor then drifts the same way)\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        long v = 0;
        const bool hasValue = i + 1 < argc;
        if (a == "--quick") {
            opt.reps = 1;
            opt.latenciesUs = {0};
            opt.imageBytes = 100 * cmd::kBlockSize;
        } else if (a == "--reps" && hasValue && parseLong(argv[++i], 1, 100, v)) {
            opt.reps = static_cast<int>(v);
        } else if (a == "--image-bytes" && hasValue && parseLong(argv[++i], 1, cmd::kMaxImage, v)) {
            opt.imageBytes = v;
        } else if (a == "--latency-us" && hasValue && parseLatencies(argv[++i], opt.latenciesUs)) {
        } else if (a == "--record") {
            opt.record = true;
        } else if (a == "--relative-sleep") {
            opt.sleep = LatencyServer::Sleep::Relative;
        } else {
            return usage();
        }
    }

    char dirTemplate[] = "/tmp/link_e2e.XXXXXX";
    const char* dir = ::mkdtemp(dirTemplate);
    if (!dir) {
        std::fprintf(stderr, "link_e2e: mkdtemp: %s\n", std::strerror(errno));
        return 1;
    }
    const std::string tolkaPath = std::string(dir) + "/tolka";
    const std::string echoPath = std::string(dir) + "/echo";
    const auto image = testImage(static_cast<std::size_t>(opt.imageBytes));

    std::printf("link_e2e: %d repetition(s), medians; floor = ping-pong of 64-byte reports, as many round trips,\n"
                "same socket and latency emulation, measured in the same repetition; ratio = wall / floor\n\n",
                opt.reps);
    std::printf("%8s  %-22s %10s %7s %10s %6s %10s %7s | %9s %9s %9s %9s %9s\n", "latency", "phase", "wall ms", "trips",
                "floor ms", "ratio", "trips*L ms", "wall/it", "dev us/rt", "host us", "host max", "flr dev",
                "flr host");
    int failures = 0;
    for (const long latencyUs : opt.latenciesUs) {
        std::vector<Sample> samples[kPhases];
        for (int r = 0; r < opt.reps; ++r) {
            Sample s[kPhases];
            bool ok = runDriver(opt, tolkaPath, latencyUs, image, s);
            for (int p = 0; p < kPhases && ok; ++p)
                ok = pingPong(opt, echoPath, latencyUs, s[p].roundTrips, p == 0, s[p]);
            if (!ok) {
                ++failures;
                continue;
            }
            for (int p = 0; p < kPhases; ++p) samples[p].push_back(s[p]);
        }
        for (int p = 0; p < kPhases; ++p) {
            if (samples[p].empty()) continue;
            auto col = [&](auto field) {
                std::vector<double> v;
                for (const Sample& s : samples[p]) v.push_back(field(s));
                return median(v);
            };
            const double trips = col([](const Sample& s) { return static_cast<double>(s.roundTrips); });
            const std::string name = kPhaseNames[p] + (p == 2 ? " " + std::to_string(opt.imageBytes) : std::string());
            const double ideal = trips * static_cast<double>(latencyUs) / 1000;
            const double wall = col([](const Sample& s) { return s.wallMs; });
            std::printf("%6.1fms  %-22s %10.1f %7.0f %10.1f %6.3f %10.1f %7.3f | %9.1f %9.1f %9.0f %9.1f %9.1f\n",
                        static_cast<double>(latencyUs) / 1000, name.c_str(), wall, trips,
                        col([](const Sample& s) { return s.floorMs; }),
                        col([](const Sample& s) { return s.floorMs > 0 ? s.wallMs / s.floorMs : 0; }), ideal,
                        ideal > 0 ? wall / ideal : 0.0, col([](const Sample& s) { return s.deviceUs; }),
                        col([](const Sample& s) { return s.hostUs; }), col([](const Sample& s) { return s.hostMaxUs; }),
                        col([](const Sample& s) { return s.floorDeviceUs; }),
                        col([](const Sample& s) { return s.floorHostUs; }));
        }
        std::fflush(stdout);
    }
    std::printf("\nratio: wall / floor; wall/it: wall / (trips * L), against a link that keeps its latency exactly\n"
                "dev us/rt: report in until its answer out, at the device; host us: answer out until the host's\n"
                "next request in (its mean and longest); flr: the same for the ping-pong\n");
    ::rmdir(dir);
    if (failures > 0) {
        std::fprintf(stderr, "link_e2e: %d repetition(s) failed\n", failures);
        return 1;
    }
    return 0;
}
