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

}  // namespace qv7::panel
