// Opens the device named on the command line and brings the link up to the point a command needs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "device/clock.h"
#include "device/hid_transport.h"
#include "device/link_runner.h"
#include "device/mfi.h"
#include "device/report_recording.h"

namespace qv7 {
class SocketTransport;
}

namespace qv7::cli {

struct Options {
    std::string device;  // empty: the first Tolka found; otherwise a name parseDeviceName takes
    bool json = false;
    bool trace = false;  // driver diagnostic lines on standard error
    bool yes = false;    // do not ask before writing firmware
    int timeoutSec = 5;
    std::string record;      // a file that gets every report both ways (docs/reporting.md)
    bool recordRaw = false;  // keep the serial numbers in it
};

// Opens a transport for `device`; on failure returns null, with the exit code and message set.
std::unique_ptr<HidTransport> openTransport(const std::string& device, int& exitCode, std::string& error);

class DeviceConnection : public LinkEventSink, public MessageSink {
public:
    explicit DeviceConnection(const Options& options);
    ~DeviceConnection() override;

    // Opens the device and runs the start-up conversation until the device has reported its settings.
    // Returns kOk or an exit code, having printed why.
    int open();
    // Runs the link until `done` holds; prints and returns an exit code when it does not.
    int runUntil(const std::function<bool()>& done, int64_t timeoutMs, const char* what);
    // Runs the firmware write the driver has just been handed until `done` holds, for as long as it
    // makes progress: after --timeout seconds without any, returns kNoDevice with `stalled` set to
    // where it stopped ("the device did not answer the erase", ...) for the caller to print.
    int runTransfer(const std::function<bool()>& done);
    std::string stalled;

    mfi& driver() { return driver_; }
    LinkRunner& runner() { return *runner_; }
    HidTransport& transport() { return *transport_; }

    // What the driver reported since the last clear.
    std::vector<std::string> messages;
    bool updateDone = false;
    bool quickKeyWritten = false;
    int lastProgress = -1;
    std::function<void(int percent)> onProgress;

    void onLinkEvent(int wParam, int lParam) override;
    void showMessage(const std::string& text, const std::string& caption) override;

private:
    Options options_;
    mfi driver_;
    SteadyClock clock_;
    std::unique_ptr<HidTransport> transport_;
    std::unique_ptr<LinkRunner> runner_;
    std::shared_ptr<ReportRecorder> recorder_;
    const SocketTransport* socket_ = nullptr;  // the socket under a recording, for its refusal
    bool parametersSeen_ = false;
};

std::string displayText(const std::string& gbk);  // device text (GBK) for the terminal

}  // namespace qv7::cli
