// Runs inside the test VM: the hidraw transport, its read worker and the hot-plug monitor against the uhid simulator.
//   qv7-hid-smoke device [--unplug-after N]   the simulated Tolka on /dev/uhid
//   qv7-hid-smoke host DEVICE-COMMAND...      starts, talks to, stops and restarts DEVICE-COMMAND
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/link_session.h"
#include "device/mfi.h"
#include "hid/hid_device.h"
#include "hid/hotplug.h"
#include "sim/tolka_sim.h"
#include "sim/uhid_device.h"

namespace {

using Clock = std::chrono::steady_clock;
int failures = 0;

void check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok) ++failures;
}

pid_t spawn(char** argv) {
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[0], argv);
        std::perror("exec device");
        _exit(127);
    }
    return pid;
}

int waitExit(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Waits for the first hot-plug event of `kind` on a Tolka; its node in `node`.
bool waitEvent(qv7::HidHotplug& hp, qv7::HotplugEvent::Kind kind, std::string& node, std::string* serial, int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    bool found = false;
    while (!found && Clock::now() < end) {
        pollfd p{hp.fd(), POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (::poll(&p, 1, static_cast<int>(std::max<long long>(left, 0))) <= 0) continue;
        hp.dispatch([&](const qv7::HotplugEvent& e) {
            std::printf("event: %s %s tolka=%d serial=%s\n",
                        e.kind == qv7::HotplugEvent::Kind::Arrival ? "arrival" : "removal", e.devnode.c_str(),
                        e.tolka ? 1 : 0, e.serial.c_str());
            if (found || !e.tolka || e.kind != kind) return;
            if (kind == qv7::HotplugEvent::Kind::Removal && !node.empty() && e.devnode != node) return;
            node = e.devnode;
            if (serial) *serial = e.serial;
            found = true;
        });
    }
    return found;
}

// The panel's way: the read worker queues each report, this thread feeds the driver and ticks its timer.
struct Conversation : qv7::StepTimer, qv7::LinkEventSink {
    qv7::mfi driver;
    qv7::LinkSession session{driver, *this, this};
    std::mutex m;
    std::condition_variable cv;
    std::deque<std::vector<uint8_t>> queue;
    bool readerEnded = false;
    bool parameters = false;
    long reports = 0;
    Clock::time_point tick = Clock::time_point::max();

    void restart(int ms) override { tick = Clock::now() + std::chrono::milliseconds(ms); }
    void stop() override { tick = Clock::time_point::max(); }
    void onLinkEvent(int w, int l) override {
        if (qv7::isEvent(w, l, qv7::ev::kParameters)) parameters = true;
    }

    bool run(qv7::CHidDevice& dev, int ms) {
        driver.setDiagnostics([](std::string_view) {});
        session.setTransport(&dev);
        const bool started = dev.hidStartReader(
            [this](std::vector<uint8_t> r) {
                std::lock_guard lock(m);
                queue.push_back(std::move(r));
                cv.notify_one();
            },
            [this] {
                std::lock_guard lock(m);
                readerEnded = true;
                cv.notify_one();
            });
        if (!started) return false;
        session.connect(1);
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        std::unique_lock lock(m);
        while (!(parameters && driver.step() == qv7::kStepIdle) && Clock::now() < end && !readerEnded) {
            cv.wait_until(lock, std::min(end, tick), [&] { return !queue.empty() || readerEnded; });
            while (!queue.empty()) {
                auto r = std::move(queue.front());
                queue.pop_front();
                lock.unlock();
                ++reports;
                session.onReport(r);
                lock.lock();
            }
            if (Clock::now() >= tick) {
                tick = Clock::now() + std::chrono::milliseconds(qv7::mfi::kStepTimerMs);
                lock.unlock();
                session.onTimer();
                lock.lock();
            }
        }
        return parameters;
    }

    bool waitReaderEnd(int ms) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return readerEnded; });
    }
};

int runDevice(int argc, char** argv) {
    qv7::sim::UhidOptions options;
    for (int i = 2; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--unplug-after") options.unplugAfter = std::atol(argv[++i]);
    qv7::sim::TolkaSim device;
    return qv7::sim::runUhidDevice(device, options);
}

int runHost(char** deviceCommand) {
    qv7::HidHotplug hp;
    const bool registered = hp.hidRegisterNotification();
    check(registered, "hot-plug monitor registered (" + hp.source() + " source) " + hp.error());
    if (hp.fd() < 0) return 1;

    for (int round = 1; round <= 2; ++round) {
        const std::string r = "round " + std::to_string(round) + ": ";
        const pid_t device = spawn(deviceCommand);
        std::string node, serial;
        const bool arrived = waitEvent(hp, qv7::HotplugEvent::Kind::Arrival, node, &serial, 10000);
        check(arrived, r + "arrival of a Tolka noticed at " + node + " serial " + serial);
        const auto listed = qv7::hid::enumerateTolkas();
        check(listed.size() == 1 && listed[0].path == node && listed[0].serial == serial,
              r + "enumeration lists exactly that Tolka");

        std::vector<std::string> diagnostics;
        qv7::CHidDevice dev([&](std::string_view line) {
            std::printf("diag: %.*s", static_cast<int>(line.size()), line.data());
            diagnostics.emplace_back(line);
        });
        const bool opened = dev.hidOpen(qv7::hid::kTolkaProductId, qv7::hid::kTolkaVendorId);
        check(opened, r + "hidOpen(0x1290, 0x0416)");
        check(dev.describe() == node, r + "opened " + dev.describe());
        check(dev.inputReportLength() == 64 && dev.outputReportLength() == 64,
              r + "report lengths from the descriptor: in " + std::to_string(dev.inputReportLength()) + ", out " +
                  std::to_string(dev.outputReportLength()));
        if (round == 2) {
            // A later open retires the handle in use: its worker ends without calling the device gone.
            std::atomic<bool> ended{false};
            const bool started = dev.hidStartReader([](std::vector<uint8_t>) {}, [&] { ended = true; });
            const bool reopened = dev.hidOpen(qv7::hid::kTolkaProductId, qv7::hid::kTolkaVendorId);
            for (int i = 0; i < 500 && !ended; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            check(started && reopened && ended && diagnostics.empty(),
                  r + "a second hidOpen retires the first handle and ends its worker quietly");
        }
        const std::vector<uint8_t> tooLong(dev.outputReportLength() + 1, 0x55);
        check(!dev.write(tooLong), r + "a report one byte too long is dropped");

        Conversation c;
        const bool talked = c.run(dev, 20000);
        check(talked, r + "start-up conversation through the read worker until the settings arrived (" +
                          std::to_string(c.reports) + " reports, serial " + c.driver.identity().SerialNumber + ")");
        check(c.driver.identity().SerialNumber == serial, r + "the serial the device told matches the enumeration's");

        ::kill(device, SIGTERM);
        check(c.waitReaderEnd(10000), r + "the read worker ended when the device went away");
        check(!dev.workerStarted(), r + "worker-started flag cleared");
        bool disconnect = false;
        for (const auto& d : diagnostics) disconnect = disconnect || d == "device disconect\n";
        check(disconnect, r + "\"device disconect\" written");
        std::string gone = node;
        const bool removed = waitEvent(hp, qv7::HotplugEvent::Kind::Removal, gone, nullptr, 10000);
        check(removed, r + "removal noticed at " + gone);
        check(waitExit(device) == 0, r + "the simulator exited cleanly on SIGTERM");
        check(!dev.write(std::vector<uint8_t>(8, 1)), r + "a write after removal is dropped");
        check(qv7::hid::enumerateTolkas().empty(), r + "enumeration is empty after removal");
    }
    std::printf("hid smoke: %s, %d failure(s)\n", failures ? "FAILED" : "OK", failures);
    if (failures == 0) std::printf("QV7_HID_SMOKE_OK\n");
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "device") return runDevice(argc, argv);
    if (mode == "host" && argc > 2) return runHost(argv + 2);
    std::fprintf(stderr, "usage: qv7-hid-smoke device [--unplug-after N] | host DEVICE-COMMAND...\n");
    return 2;
}
