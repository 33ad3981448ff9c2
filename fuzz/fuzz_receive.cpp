// Feeds arbitrary report streams to the driver and to the simulated device: neither may read
// past a buffer, crash, or leave the driver in a step it does not know.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "device/mfi.h"
#include "sim/tolka_sim.h"

namespace {
struct Sink : qv7::LinkEventSink, qv7::MessageSink {
    void onLinkEvent(int, int) override {}
    void showMessage(const std::string&, const std::string&) override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static qv7::mfi driver;
    static Sink sink;
    static bool once = [] {
        driver.setEventSink(&sink);
        driver.setMessageSink(&sink);
        driver.setDiagnostics([](std::string_view) {});
        return true;
    }();
    (void)once;
    qv7::sim::TolkaSim device;
    // The first byte picks a firmware, then the input is cut into reports by length bytes.
    if (size == 0) return 0;
    const char* versions[] = {"1.0.0", "1.0.2", "1.0.6", "1.0.7"};
    device.config().firmwareVersion = versions[data[0] % 4];
    for (size_t pos = 1; pos < size;) {
        const size_t len = std::min<size_t>(1 + data[pos] % 128, size - pos - 1);
        ++pos;
        if (len == 0) break;
        driver.mfiReceive(data + pos, static_cast<int>(len));
        device.receive({data + pos, len});
        pos += len;
    }
    if (driver.step() > qv7::kStepSetAdvanced && driver.step() != qv7::kStepIdle) std::abort();
    return 0;
}
