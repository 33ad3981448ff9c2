// report_flood: a Tolka on a local socket (like qv7-sim --listen) that floods its host with reports,
// to watch the panel's memory and responsiveness under a broken or hostile device.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "bench/flood_server.h"

namespace {

std::atomic<bool> stopRequested{false};
void onSignal(int) { stopRequested = true; }

void usage() {
    std::fputs(
        "usage: report_flood --listen PATH [--kind junk|battery|bad-params] [--rate N] [--delay-ms MS] [--seconds S]\n"
        "                    [--deaf]\n"
        "  serves the simulated Tolka on PATH; MS after a client connects (default 3000, after the start-up\n"
        "  conversation) it sends N reports a second (default 10000) of the kind until S seconds (default: until\n"
        "  a signal) have passed, then prints what was sent and what the socket refused; --deaf: from then on\n"
        "  it no longer reads what the host writes\n",
        stderr);
}

}  // namespace

int main(int argc, char** argv) {
    std::string path;
    auto kind = qv7::bench::FloodKind::Junk;
    double rate = 10000;
    long delayMs = 3000;
    double seconds = -1;
    bool deaf = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--deaf") {
            deaf = true;
            continue;
        }
        if (i + 1 >= argc) {
            usage();
            return 2;
        }
        const char* v = argv[++i];
        if (a == "--listen") path = v;
        else if (a == "--rate") rate = std::atof(v);
        else if (a == "--delay-ms") delayMs = std::atol(v);
        else if (a == "--seconds") seconds = std::atof(v);
        else if (a == "--kind") {
            auto k = qv7::bench::floodKindNamed(v);
            if (!k) {
                usage();
                return 2;
            }
            kind = *k;
        } else {
            usage();
            return 2;
        }
    }
    if (path.empty() || rate < 0) {
        usage();
        return 2;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    qv7::bench::FloodServer server(path);
    std::string error;
    if (!server.listen(error)) {
        std::fprintf(stderr, "report_flood: %s\n", error.c_str());
        return 1;
    }
    using clock = std::chrono::steady_clock;
    while (!stopRequested && !server.connected()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    const auto start = clock::now();
    server.deaf(deaf);
    server.pace(kind, rate);
    std::fprintf(stderr, "report_flood: flooding at %.0f reports/s\n", rate);
    while (!stopRequested && (seconds < 0 || clock::now() - start < std::chrono::duration<double>(seconds)))
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    server.pace(kind, 0);
    const double took = std::chrono::duration<double>(clock::now() - start).count();
    std::printf("report_flood: %ld reports sent, %ld refused by a full socket, in %.1f s\n", server.sent(),
                server.refused(), took);
    server.stop();
    return 0;
}
