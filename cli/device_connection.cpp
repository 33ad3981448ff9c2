// Device selection and the start-up conversation for qv7ctl.
#include "cli/device_connection.h"

#include <cstdio>
#include <optional>

#include "cli/tolka_cli.h"
#include "common/gbk_text.h"
#include "device/device_name.h"
#include "device/socket_transport.h"
#include "device/transfer_progress.h"
#include "sim/sim_transport.h"

namespace qv7::cli {

std::unique_ptr<HidTransport> openTransport(const std::string& device, int& exitCode, std::string& error) {
    // Failing to find what the name points at and failing to read the name both leave nothing to talk to.
    exitCode = kNoDevice;
    if (device.empty()) return hid::openTolka({}, error);
    const std::optional<DeviceName> name = parseDeviceName(device, error);
    if (!name) return nullptr;
    switch (name->kind) {
    case DeviceName::Kind::Simulated: {
        sim::SimConfig config = sim::defaultConfig();
        if (!name->argument.empty()) config.firmwareVersion = name->argument;
        return std::make_unique<sim::SimTransport>(config);
    }
    case DeviceName::Kind::Socket:
        return SocketTransport::connect(name->argument, error);
    case DeviceName::Kind::FirstTolka:
    case DeviceName::Kind::Hidraw:
        break;
    }
    return hid::openTolka(name->argument, error);
}

DeviceConnection::DeviceConnection(const Options& options) : options_(options) {
    driver_.setMessageSink(this);
    if (options_.trace) {
        driver_.setDiagnostics([](std::string_view line) { std::fwrite(line.data(), 1, line.size(), stderr); });
    } else {
        driver_.setDiagnostics([](std::string_view) {});  // the command's own output stays clean
    }
}

void DeviceConnection::onLinkEvent(int w, int l) {
    if (isEvent(w, l, ev::kParameters)) parametersSeen_ = true;
    else if (isEvent(w, l, ev::kUpdateDone)) updateDone = true;
    else if (isEvent(w, l, ev::kQuickKeyWritten)) quickKeyWritten = true;
    else if (isEvent(w, l, ev::kProgress)) {
        lastProgress = driver_.progressPercent();
        if (onProgress) onProgress(lastProgress);
    }
}

void DeviceConnection::showMessage(const std::string& text, const std::string& caption) {
    messages.push_back(caption + ": " + text);
    std::fprintf(stderr, "qv7ctl: device: %s (%s)\n", text.c_str(), caption.c_str());
}

int DeviceConnection::open() {
    int code = kNoDevice;
    std::string error;
    transport_ = openTransport(options_.device, code, error);
    if (!transport_) {
        std::fprintf(stderr, "qv7ctl: %s\n", error.c_str());
        return code;
    }
    if (!options_.record.empty()) {
        recorder_ = std::make_shared<ReportRecorder>();
        if (!recorder_->open({options_.record, std::string("qv7ctl ") + QV7_VERSION, options_.recordRaw,
                              ReportRecorder::kDefaultLimitBytes},
                             error)) {
            std::fprintf(stderr, "qv7ctl: %s\n", error.c_str());
            return kFailed;
        }
        socket_ = dynamic_cast<const SocketTransport*>(transport_.get());
        transport_ = std::make_unique<RecordingTransport>(std::move(transport_), recorder_);
    }
    runner_ = std::make_unique<LinkRunner>(driver_, *transport_, clock_, this);
    runner_->session().connect(1);
    const int rc = runUntil([this] { return parametersSeen_ && driver_.step() == kStepIdle; },
                            static_cast<int64_t>(options_.timeoutSec) * 1000, "the start-up conversation");
    if (recorder_) {
        recorder_->note("firmware", driver_.identity().FirmwareVersion);
        recorder_->note("hardware", driver_.identity().HardwareVersion);
    }
    return rc;
}

DeviceConnection::~DeviceConnection() {
    if (!recorder_) return;
    recorder_->close();
    if (recorder_->limitReached())
        std::fprintf(stderr, "qv7ctl: the recording %s stopped at its size limit\n", recorder_->path().c_str());
}

int DeviceConnection::runUntil(const std::function<bool()>& done, int64_t timeoutMs, const char* what) {
    const std::size_t before = messages.size();
    switch (runner_->runUntil([&] { return done() || messages.size() != before; }, timeoutMs)) {
    case LinkRunner::Outcome::Done:
        return messages.size() == before ? kOk : kFailed;
    case LinkRunner::Outcome::Gone:
        // Under a recording the socket sits behind the recorder: the pointer kept when it was wrapped finds it.
        if (const auto* socket = socket_ ? socket_ : dynamic_cast<const SocketTransport*>(transport_.get());
            socket && !socket->refusal().empty()) {
            // Another user's program, which does not share our lock, has the device: the server said so.
            std::fprintf(stderr, "qv7ctl: the Tolka (%s) is in use by another program: %s\n",
                         transport_->describe().c_str(), socket->refusal().c_str());
            return kInUse;
        }
        std::fprintf(stderr, "qv7ctl: the device went away during %s\n", what);
        return kNoDevice;
    case LinkRunner::Outcome::TimedOut:
        break;
    }
    std::fprintf(stderr, "qv7ctl: no answer from %s within %lld s during %s (driver step %d)\n",
                 transport_->describe().c_str(), static_cast<long long>(timeoutMs / 1000), what, driver_.step());
    return kNoDevice;
}

int DeviceConnection::runTransfer(const std::function<bool()>& done) {
    const std::size_t before = messages.size();
    TransferProgress progress;
    progress.start(driver_, clock_.nowMs());
    const int64_t idleMs = static_cast<int64_t>(options_.timeoutSec) * 1000;
    switch (runner_->runWhileProgressing([&] { return done() || messages.size() != before; },
                                         [&] { return progress.observe(driver_, clock_.nowMs()); }, idleMs)) {
    case LinkRunner::Outcome::Done:
        return messages.size() == before ? kOk : kFailed;
    case LinkRunner::Outcome::Gone:
        std::fprintf(stderr, "qv7ctl: the device went away during the firmware transfer\n");
        return kNoDevice;
    case LinkRunner::Outcome::TimedOut:
        break;
    }
    stalled = progress.stalledText();
    return kNoDevice;
}

std::string displayText(const std::string& gbk) { return gbk::toUtf8Display(gbk); }

}  // namespace qv7::cli
