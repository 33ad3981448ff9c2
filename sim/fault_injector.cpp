// Fault injection for the simulated link.
#include "sim/fault_injector.h"

#include <charconv>
#include <cstdlib>
#include <sstream>

#include "device/link_packet.h"

namespace qv7::sim {

namespace {

bool parseProbability(const std::string& text, double& out) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !(v >= 0.0 && v <= 1.0)) return false;
    out = v;
    return true;
}

template <typename Int>
bool parseInt(const std::string& text, Int& out) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), out);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

}  // namespace

bool FaultConfig::parse(const std::string& text, std::string& error) {
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        if (item.empty()) continue;
        const auto eq = item.find('=');
        if (eq == std::string::npos) {
            error = "fault '" + item + "' needs a value (name=probability)";
            return false;
        }
        const std::string key = item.substr(0, eq), value = item.substr(eq + 1);
        bool ok = false;
        if (key == "drop") ok = parseProbability(value, drop);
        else if (key == "dup" || key == "duplicate") ok = parseProbability(value, duplicate);
        else if (key == "split") ok = parseProbability(value, split);
        else if (key == "corrupt") ok = parseProbability(value, corrupt);
        else if (key == "seed") ok = parseInt(value, seed);
        else if (key == "delay") {
            const auto colon = value.find(':');
            ok = parseProbability(value.substr(0, colon), delay) &&
                 (colon == std::string::npos ? (delayMs = 200, true) : parseInt(value.substr(colon + 1), delayMs)) &&
                 delayMs >= 0;
        } else {
            error = "unknown fault '" + key + "' (drop, dup, split, corrupt, delay, seed)";
            return false;
        }
        if (!ok) {
            error = "bad value '" + value + "' for fault '" + key + "' (a probability from 0 to 1" +
                    (key == "delay" ? ", optionally :MS" : "") + ")";
            return false;
        }
    }
    return true;
}

bool FaultInjector::chance(double p) {
    if (p <= 0) return false;
    return std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < p;
}

std::vector<Delivery> FaultInjector::apply(std::vector<uint8_t> report) {
    if (!config_.any()) return {Delivery{std::move(report), 0}};
    if (chance(config_.drop)) return {};
    if (chance(config_.corrupt) && !report.empty()) {
        const auto i =
            std::uniform_int_distribution<std::size_t>(0, std::min<std::size_t>(report.size(), 16) - 1)(rng_);
        report[i] ^= 0x5A;
    }
    const int delay = chance(config_.delay) ? config_.delayMs : 0;
    std::vector<Delivery> out;
    if (chance(config_.split) && report.size() > 4) {
        const std::size_t packetLength = std::min<std::size_t>(report.size(), link::lengthField(report));
        const std::size_t cut =
            std::uniform_int_distribution<std::size_t>(1, std::max<std::size_t>(packetLength, 2) - 1)(rng_);
        out.push_back({std::vector<uint8_t>(report.begin(), report.begin() + static_cast<std::ptrdiff_t>(cut)), delay});
        out.push_back({std::vector<uint8_t>(report.begin() + static_cast<std::ptrdiff_t>(cut), report.end()), delay});
    } else {
        out.push_back({std::move(report), delay});
    }
    if (chance(config_.duplicate)) out.push_back(out.back());
    return out;
}

}  // namespace qv7::sim
