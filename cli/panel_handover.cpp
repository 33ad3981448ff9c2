#include "cli/panel_handover.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>
#include <thread>

#include "common/app_dir.h"
#include "common/handover_message.h"
#include "common/runtime_dir.h"
#include "device/device_name.h"
#include "hid/hid_device.h"

namespace qv7::cli {

static_assert(handover::kOk == kOk && handover::kFailed == kFailed && handover::kUsage == kUsage &&
              handover::kNoDevice == kNoDevice && handover::kInUse == kInUse);

namespace {

using Clock = std::chrono::steady_clock;
// The panel answers after the device has; beyond --timeout this covers a busy window thread.
constexpr int kPanelMarginSec = 10;
constexpr char kPanelProgram[] = "qv7-panel";

// These leave settings or the device as the panel's controls would; everything else that opens the device
// (firmware writes, the preset library's writes) would go around the window's state.
const std::set<std::string>& throughPanel() {
    static const std::set<std::string> names = {"info", "get",          "set",         "mix",      "charge",
                                                "key",  "preset apply", "preset save", "key store"};
    return names;
}

// An empty key: nothing to share (the in-process simulator) or nothing found (the command will say so).
std::string lockKeyFor(const std::string& device) {
    std::string unused;
    const auto name = device.empty() ? std::optional<DeviceName>(DeviceName{}) : parseDeviceName(device, unused);
    if (!name) return {};
    switch (name->kind) {
    case DeviceName::Kind::Simulated:
        return {};
    case DeviceName::Kind::Socket:
        return socketLockKey(name->argument);
    case DeviceName::Kind::Hidraw:
        return deviceLockKey(name->argument);
    case DeviceName::Kind::FirstTolka:
        break;
    }
    // The panel opens the first Tolka too: the same node, so the same lock.
    const auto tolkas = hid::enumerateTolkas();
    return tolkas.empty() ? std::string() : deviceLockKey(tolkas.front().path);
}

enum class Sent { Answered, Unreachable, NoReply };

// Unreachable: nothing was sent (the panel is gone or not listening); worth looking at the lock again.
Sent askPanel(const std::string& socketPath, const std::string& request, int timeoutSec, handover::Reply& reply) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof addr.sun_path) return Sent::Unreachable;
    std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return Sent::Unreachable;
    const timeval limit{timeoutSec, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return Sent::Unreachable;
    }
    // A request with an import's document is larger than one send may take.
    for (std::size_t sent = 0; sent < request.size();) {
        const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(fd);
            return sent == 0 ? Sent::Unreachable : Sent::NoReply;
        }
        sent += static_cast<std::size_t>(n);
    }
    handover::ReplyReader reader;
    Sent result = Sent::NoReply;
    char buffer[4096];
    for (;;) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        const auto state = reader.feed(buffer, static_cast<std::size_t>(n));
        if (state == handover::ReplyReader::State::Bad) break;
        if (state == handover::ReplyReader::State::Done) {
            reply = reader.reply();
            result = Sent::Answered;
            break;
        }
    }
    close(fd);
    return result;
}

// A preset command names the library qv7ctl would use, so a panel keeping another one does not answer for it.
void addLibrary(Args& forwarded) {
    forwarded.push_back(handover::kLibraryOption);
    forwarded.push_back(GetAppDirFile("para.bin"));
}

std::string holderName(const DeviceHolder& h) {
    if (h.program.empty()) return "another program";
    return h.pid > 0 ? h.program + " (pid " + std::to_string(h.pid) + ")" : h.program;
}

}  // namespace

bool usesDevice(const std::string& command) {
    static const std::set<std::string> others = {"preset save", "firmware write", "firmware check", "firmware update"};
    return throughPanel().count(command) != 0 || others.count(command) != 0;
}

bool goesThroughPanel(const std::string& command) { return throughPanel().count(command) != 0; }

std::optional<int> askRunningPanel(const Options& o, const Args& words, std::optional<std::string_view> attachment) {
    std::string why;
    const std::string dir = privateRuntimeDir(why);
    if (dir.empty()) return std::nullopt;  // no panel can be found there either: the command runs here
    Args forwarded = words;
    if (o.json) forwarded.push_back("--json");
    addLibrary(forwarded);
    forwarded.push_back("--timeout");
    forwarded.push_back(std::to_string(o.timeoutSec));
    const auto request = handover::encodeRequest(forwarded, attachment);
    if (!request) {
        std::fprintf(stderr, "qv7ctl: these arguments cannot be handed to the running panel\n");
        return kUsage;
    }
    handover::Reply reply;
    switch (askPanel(dir + "/" + kPanelProgram, *request, o.timeoutSec + kPanelMarginSec, reply)) {
    case Sent::Answered:
        if (reply.code == handover::kOtherLibrary) return std::nullopt;  // the panel's presets are not these
        std::fwrite(reply.out.data(), 1, reply.out.size(), stdout);
        std::fwrite(reply.err.data(), 1, reply.err.size(), stderr);
        std::fflush(stdout);
        return reply.code;
    case Sent::NoReply:
        std::fprintf(stderr, "qv7ctl: the running panel took `%s %s` but gave no answer within %d s\n",
                     !words.empty() ? words[0].c_str() : "", words.size() > 1 ? words[1].c_str() : "",
                     o.timeoutSec + kPanelMarginSec);
        return kNoDevice;
    case Sent::Unreachable:
        break;
    }
    return std::nullopt;
}

std::optional<int> takeDeviceOrHandOver(const Options& o, const std::string& command, const Args& words,
                                        DeviceLock& lock) {
    const std::string key = lockKeyFor(o.device);
    const DeviceHolder me{"qv7ctl", static_cast<long>(getpid()), {}};
    const auto deadline = Clock::now() + std::chrono::seconds(o.timeoutSec);
    for (;;) {
        lock = DeviceLock::tryTake(key, me);
        switch (lock.status()) {
        case DeviceLock::Status::Held:
            return std::nullopt;
        case DeviceLock::Status::NoPlace:
            // Without a private folder there is no rule to follow; the command runs as it always did.
            if (o.trace) std::fprintf(stderr, "qv7ctl: no device lock: %s\n", lock.detail().c_str());
            return std::nullopt;
        case DeviceLock::Status::Busy:
            break;
        }
        const DeviceHolder& holder = lock.holder();
        if (holder.program == kPanelProgram && !holder.handover.empty()) {
            if (!goesThroughPanel(command)) {
                std::fprintf(stderr,
                             "qv7ctl: the panel holds the Tolka (%s, %s) and does not carry out `%s` for qv7ctl;\n"
                             "        use the panel's window, or quit the panel and run the command again\n",
                             holderName(holder).c_str(), key.c_str(), command.c_str());
                return kInUse;
            }
            Args forwarded = words;
            if (o.json) forwarded.push_back("--json");
            if (command.rfind("preset ", 0) == 0) addLibrary(forwarded);
            forwarded.push_back("--timeout");
            forwarded.push_back(std::to_string(o.timeoutSec));
            const auto request = handover::encodeRequest(forwarded);
            if (!request) {
                std::fprintf(stderr, "qv7ctl: these arguments cannot be handed to the panel, which holds the Tolka\n");
                return kUsage;
            }
            handover::Reply reply;
            switch (askPanel(holder.handover, *request, o.timeoutSec + kPanelMarginSec, reply)) {
            case Sent::Answered:
                if (reply.code == handover::kOtherLibrary) {
                    std::fprintf(stderr,
                                 "qv7ctl: the panel holds the Tolka (%s) but keeps its presets elsewhere, not in %s;\n"
                                 "        run the command with the panel's settings folder, or quit the panel\n",
                                 holderName(holder).c_str(), GetAppDirFile("para.bin").c_str());
                    return kInUse;
                }
                std::fwrite(reply.out.data(), 1, reply.out.size(), stdout);
                std::fwrite(reply.err.data(), 1, reply.err.size(), stderr);
                std::fflush(stdout);
                return reply.code;
            case Sent::NoReply:
                std::fprintf(stderr, "qv7ctl: the panel (%s) took `%s` but gave no answer within %d s\n",
                             holderName(holder).c_str(), command.c_str(), o.timeoutSec + kPanelMarginSec);
                return kNoDevice;
            case Sent::Unreachable:
                break;  // on its way out: the lock will tell
            }
        }
        if (Clock::now() >= deadline) {
            std::fprintf(stderr, "qv7ctl: the Tolka (%s) is in use by %s; try again when it has finished\n",
                         key.c_str(), holderName(holder).c_str());
            return kInUse;
        }
        // The holder may be about to write its name, or to finish; both are short.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace qv7::cli
