// Costs on the window thread: one received report, a whole start-up, a whole firmware write.
#include <benchmark/benchmark.h>

#include "device/firmware_image.h"
#include "device/link_runner.h"
#include "sim/sim_transport.h"

namespace {

using namespace qv7;

void quiet(mfi& d) {
    d.setDiagnostics([](std::string_view) {});
}

// One 64-byte report carrying a battery reply: repetition filter, validation, reply, acknowledgement.
void BM_ReceiveReport(benchmark::State& state) {
    mfi d;
    quiet(d);
    std::vector<std::vector<uint8_t>> reports;
    for (uint8_t seq = 1; seq <= 2; ++seq) {
        auto p = *link::buildData(seq, 0, std::vector<uint8_t>{0x81, 0x81, 0x01});
        p.resize(64, 0);
        reports.push_back(p);
    }
    std::size_t i = 0;
    for (auto _ : state) {
        d.mfiReceive(reports[i++ & 1]);  // alternate, or the repetition filter drops them
        benchmark::DoNotOptimize(d.pendingLength());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReceiveReport);

// A driver connected to a fresh simulated Tolka, through the start-up conversation.
struct Connected {
    ManualClock clock;
    sim::SimTransport device{sim::defaultConfig(), {}, &clock};
    mfi d;
    LinkRunner runner{d, device, clock};
    Connected() {
        quiet(d);
        runner.session().connect(1);
        runner.runUntil([&] { return d.mfiParamsReceived() && d.step() == kStepIdle; }, 60000);
    }
};

void BM_StartUpConversation(benchmark::State& state) {
    for (auto _ : state) {
        Connected c;
        benchmark::DoNotOptimize(c.d.step());
    }
}
BENCHMARK(BM_StartUpConversation)->Unit(benchmark::kMicrosecond);

void BM_FirmwareWrite98K(benchmark::State& state) {
    std::vector<uint8_t> image(98304);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 31);
    const uint32_t sum = ImageWordSum(image);
    for (auto _ : state) {
        Connected c;
        c.d.mfiBeginUpdate(image, sum);
        c.runner.runUntil([&] { return c.d.step() == kStepIdle; }, 600000);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(image.size()));
}
BENCHMARK(BM_FirmwareWrite98K)->Unit(benchmark::kMillisecond);

}  // namespace
