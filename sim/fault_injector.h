// Faults a real USB link or a flaky device can show, with given probabilities and a seed.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace qv7::sim {

struct FaultConfig {
    double drop = 0;       // the report is lost
    double duplicate = 0;  // the report arrives twice
    double split = 0;      // the packet is cut in two shorter reports
    double corrupt = 0;    // one byte of the packet is flipped
    double delay = 0;      // the report is held back for delayMs (device to host only)
    int delayMs = 0;
    uint32_t seed = 1;

    bool any() const { return drop > 0 || duplicate > 0 || split > 0 || corrupt > 0 || delay > 0; }
    // "drop=0.3,dup=0.1,split=0.1,corrupt=0.05,delay=0.2:300,seed=7"; false with a reason on bad input.
    bool parse(const std::string& text, std::string& error);
};

struct Delivery {
    std::vector<uint8_t> bytes;
    int delayMs = 0;
};

class FaultInjector {
public:
    explicit FaultInjector(FaultConfig config = {}) : config_(config), rng_(config.seed) {}
    std::vector<Delivery> apply(std::vector<uint8_t> report);
    const FaultConfig& config() const { return config_; }

private:
    bool chance(double p);
    FaultConfig config_;
    std::mt19937 rng_;
};

}  // namespace qv7::sim
