// qv7ctl's real-HID pieces, kept beside the transport so the command line only wires them.
#include "cli/tolka_cli.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "cli/json_out.h"
#include "common/display_text.h"
#include "hid/access_advice.h"
#include "hid/hid_device.h"
#include "hid/hotplug.h"

namespace qv7::hid {

std::unique_ptr<HidTransport> openTolka(const std::string& path, std::string& error) {
    // Trace lines of the search would mix with the command's output; the error below says what matters.
    auto device = std::make_unique<CHidDevice>([](std::string_view) {});
    if (!path.empty()) {
        if (device->hidOpenPath(path, error)) return device;
        if (!device->openFailures().empty() && accessDenied(device->openFailures().front().error))
            error = accessAdvice(path);
        return nullptr;
    }
    if (device->hidOpen(kTolkaProductId, kTolkaVendorId)) return device;
    for (const auto& f : device->openFailures()) {
        if (accessDenied(f.error)) {
            error = accessAdvice(f.path);
            return nullptr;
        }
    }
    if (!device->openFailures().empty()) {
        const auto& f = device->openFailures().front();
        error = "a Tolka is at " + f.path + " but cannot be opened: " + std::strerror(f.error);
    } else {
        error = "no Tolka found (no HID device 0416:1290; use --device sim for the simulated one, "
                "or --device unix:PATH)";
    }
    return nullptr;
}

int cliList(std::ostream& out, bool json) {
    const auto tolkas = enumerateTolkas();
    if (tolkas.empty()) return cli::kNoDevice;
    if (json) {
        Json::Value list(Json::arrayValue);
        for (const auto& t : tolkas) {
            Json::Value entry(Json::objectValue);
            entry["path"] = t.path;
            entry["serial"] = t.serial;
            list.append(entry);
        }
        out << cli::jsonText(list) << '\n';
    } else {
        // The serial is the device's own USB string: shown escaped, it stays on its line.
        for (const auto& t : tolkas) out << t.path << ' ' << escapeControls(t.serial) << '\n';
    }
    out.flush();
    return cli::kOk;
}

int cliWatch(std::ostream& out, std::ostream& status, const WatchOptions& options, int stopFd) {
    HidHotplug hotplug;
    if (!hotplug.hidRegisterNotification()) {
        status << "qv7ctl: cannot watch for devices: " << hotplug.error() << '\n';
        return cli::kNoDevice;
    }
    status << "qv7ctl: watching hidraw (" << hotplug.source() << " events)\n";
    status.flush();

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(options.timeoutMs);
    int seen = 0;
    while (options.count < 0 || seen < options.count) {
        int wait = -1;
        if (options.timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return options.count < 0 ? cli::kOk : cli::kNoDevice;
            wait = static_cast<int>(left);
        }
        pollfd p[2] = {{hotplug.fd(), POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int n = ::poll(p, stopFd >= 0 ? 2 : 1, wait);
        if (n < 0 && errno != EINTR) {
            status << "qv7ctl: poll: " << std::strerror(errno) << '\n';
            return cli::kNoDevice;
        }
        if (n > 0 && stopFd >= 0 && (p[1].revents & POLLIN)) break;
        hotplug.dispatch([&](const HotplugEvent& e) {
            if (!e.tolka && !options.allHid) return;
            if (options.count >= 0 && seen >= options.count) return;
            const bool arrival = e.kind == HotplugEvent::Kind::Arrival;
            if (options.json) {
                Json::Value event(Json::objectValue);
                event["event"] = arrival ? "arrival" : "removal";
                event["path"] = e.devnode;
                if (arrival) event["serial"] = e.serial;
                event["tolka"] = e.tolka;
                out << cli::jsonText(event) << '\n';
            } else {
                out << (arrival ? "arrival " : "removal ") << e.devnode;
                if (arrival) out << ' ' << escapeControls(e.serial);
                if (!e.tolka) out << " (not a Tolka)";
                out << '\n';
            }
            out.flush();
            ++seen;
        });
        // Nobody is reading what is watched any more (a full disk, a closed pipe): watching on is pointless.
        if (!out) return cli::kFailed;
    }
    return cli::kOk;
}

}  // namespace qv7::hid
