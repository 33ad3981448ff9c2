// Recording the window's conversations, one after another, into one file.
#include "panel/recording_provider.h"

namespace qv7::panel {

RecordingProvider::RecordingProvider(std::unique_ptr<DeviceProvider> inner, std::shared_ptr<ReportRecorder> recorder)
    : inner_(std::move(inner)), recorder_(std::move(recorder)) {
    // Hot-plug notices come from the source; the host listens on this object.
    inner_->onArrival = [this] {
        if (onArrival) onArrival();
    };
    inner_->onRemoval = [this] {
        if (onRemoval) onRemoval();
    };
}

HidTransport* RecordingProvider::open() {
    inner_->handoverSocket = handoverSocket;
    HidTransport* device = inner_->open();
    if (device == nullptr) return nullptr;
    recorder_->note("event", "connected");
    transport_ = std::make_unique<RecordingTransport>(*device, recorder_);
    return transport_.get();
}

std::string RecordingProvider::startRecording(const std::string& path, bool raw) {
    std::string error;
    if (!recorder_->open({path, std::string("qv7-panel ") + QV7_VERSION, raw, ReportRecorder::kDefaultLimitBytes},
                         error))
        return error;
    recorder_->note("device", inner_->describe());
    if (transport_) recorder_->note("event", "started in the middle of a conversation");
    return {};
}

std::string RecordingProvider::describeRecording() const {
    const std::string path = recorder_->path();
    if (path.empty()) return "none";
    if (recorder_->isOpen()) return path + " (recording)";
    return path + (recorder_->limitReached() ? " (stopped at its size limit)" : " (finished)");
}

}  // namespace qv7::panel
