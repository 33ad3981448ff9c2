// The panel's --record: any device source, with every report that crosses its transport written to a recording.
#pragma once

#include <memory>

#include "device/report_recording.h"
#include "panel/device_host.h"

namespace qv7::panel {

class RecordingProvider : public DeviceProvider {
public:
    RecordingProvider(std::unique_ptr<DeviceProvider> inner, std::shared_ptr<ReportRecorder> recorder);
    std::string describe() const override { return inner_->describe(); }
    bool simulated() const override { return inner_->simulated(); }
    HidTransport* open() override;
    void release() override { inner_->release(); }
    bool present() override { return inner_->present(); }
    bool watchesRemoval() const override { return inner_->watchesRemoval(); }
    std::string deniedPath() const override { return inner_->deniedPath(); }
    std::string lockKey() const override { return inner_->lockKey(); }

    // Starts a recording from the window (the About box): it begins where the conversation is.
    std::string startRecording(const std::string& path, bool raw = false);
    void stopRecording() { recorder_->close("stopped by the user"); }
    bool recording() const { return recorder_->isOpen(); }
    // For "复制诊断信息": none, or the file and its state.
    std::string describeRecording() const;

    DeviceProvider& inner() { return *inner_; }
    const std::shared_ptr<ReportRecorder>& recorder() const { return recorder_; }

private:
    std::unique_ptr<DeviceProvider> inner_;
    std::shared_ptr<ReportRecorder> recorder_;
    // Kept until the next open: the reader of the last one may still be winding down when release() comes.
    std::unique_ptr<RecordingTransport> transport_;
};

}  // namespace qv7::panel
