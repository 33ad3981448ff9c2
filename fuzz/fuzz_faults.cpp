// qv7-sim's --faults list. Accepted lists hold probabilities from 0 to 1 and a delay that is not negative;
// refused ones say why. The injector built from an accepted list then never makes bytes out of nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "sim/fault_injector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qv7;
    FuzzedDataProvider in(data, size);
    const std::string text = in.ConsumeRandomLengthString(128);
    sim::FaultConfig config;
    std::string error;
    if (!config.parse(text, error)) {
        fuzz::require(!error.empty(), "a refused fault list without a reason");
        return 0;
    }
    for (double p : {config.drop, config.duplicate, config.split, config.corrupt, config.delay})
        fuzz::require(p >= 0.0 && p <= 1.0, "a probability outside 0..1");
    fuzz::require(config.delayMs >= 0, "a negative delay");

    sim::FaultInjector injector(config);
    for (int n = 0; n < 8 && in.remaining_bytes() > 0; ++n) {
        const auto report = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 70));
        std::size_t total = 0;
        const auto out = injector.apply(report);
        fuzz::require(out.size() <= 3, "one report became more than three");
        for (const auto& d : out) {
            fuzz::require(d.bytes.size() <= report.size(), "a delivery longer than its report");
            fuzz::require(d.delayMs == 0 || d.delayMs == config.delayMs, "a delay nobody asked for");
            total += d.bytes.size();
        }
        fuzz::require(total <= 2 * report.size(), "more bytes out than a duplicate explains");
    }
    return 0;
}
