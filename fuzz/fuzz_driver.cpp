// The driver as a state machine talking to the simulated Tolka. The input is a script: each byte picks an
// operation (pass packets between the two, lose, repeat, split or damage a reply, inject raw bytes, tick the
// step timer, call a setter, begin a firmware transfer). Whatever the device says, the driver must keep its
// progress, acknowledged count and pending packet within bounds, and must not crash or read out of bounds.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <vector>

#include "device/firmware_image.h"
#include "device/mfi.h"
#include "sim/tolka_sim.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Plays the main window's part (LinkSession's write rules) with queues instead of a transport, so the
// fuzzer decides when each side hears the other.
struct Harness : qv7::LinkEventSink, qv7::MessageSink {
    qv7::mfi driver;
    qv7::sim::TolkaSim device;
    std::deque<Bytes> toDevice;  // packets the host wrote, not yet read by the device
    std::deque<Bytes> toHost;    // reports the device sent, not yet read by the host

    explicit Harness(qv7::sim::SimConfig config) : device(std::move(config)) {
        driver.setEventSink(this);
        driver.setMessageSink(this);
        driver.setDiagnostics([](std::string_view) {});
    }

    void onLinkEvent(int w, int l) override {
        if (qv7::isEvent(w, l, qv7::ev::kPacketReady)) {
            writePending();
            driver.clearPending();
        }
    }
    void showMessage(const std::string&, const std::string&) override {}

    void writePending() {
        const auto p = driver.pendingPacket();
        if (!p.empty() && toDevice.size() < 64) toDevice.emplace_back(p.begin(), p.end());
    }
    void hostReads(const Bytes& report) {
        driver.mfiReceive(report.data(), static_cast<int>(report.size()));
        writePending();
        driver.clearPending();
    }
    void tick() {
        driver.mfiStep();
        writePending();  // not cleared: the next flush or step replaces it
    }
    void deviceReads() {
        if (toDevice.empty()) return;
        Bytes packet = std::move(toDevice.front());
        toDevice.pop_front();
        packet.resize(qv7::sim::TolkaSim::kReportLength > packet.size() ? qv7::sim::TolkaSim::kReportLength
                                                                        : packet.size());
        for (auto& r : device.receive(packet))
            if (toHost.size() < 256) toHost.push_back(std::move(r));
    }
    // Both sides answer each other until neither has anything to say (bounded).
    void settle(int rounds) {
        for (int i = 0; i < rounds && (!toDevice.empty() || !toHost.empty()); ++i) {
            if (!toHost.empty()) {
                Bytes r = std::move(toHost.front());
                toHost.pop_front();
                hostReads(r);
            } else {
                deviceReads();
            }
            check();
        }
    }

    void check() const {
        const int percent = driver.progressPercent();
        const int acknowledged = driver.bytesAcknowledged();
        const int length = driver.imageLength();
        const int step = driver.step();
        bool ok = percent >= 0 && percent <= 100;
        ok = ok && length >= 0 && acknowledged >= 0 && acknowledged <= length;
        ok = ok && driver.pendingLength() >= 0 && driver.pendingLength() <= 128;
        ok = ok && (step <= qv7::kStepSetAdvanced || step == qv7::kStepIdle);
        if (!ok) {
            std::fprintf(stderr, "driver invariant broken: progress %d, acknowledged %d of %d, pending %d, step %d\n",
                         percent, acknowledged, length, driver.pendingLength(), step);
            std::abort();
        }
    }
};

qv7::sim::SimConfig configFrom(FuzzedDataProvider& in) {
    static const char* const versions[] = {"1.0.7", "1.0.6", "1.0.2", "1.0.0", "2.1.0", "x"};
    auto c = qv7::sim::defaultConfig();
    c.firmwareVersion = versions[in.ConsumeIntegralInRange<std::size_t>(0, std::size(versions) - 1)];
    c.requireUnlock = in.ConsumeBool();
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    Harness h(configFrom(in));
    h.driver.setStartMode(in.ConsumeBool() ? 1 : 2);
    h.driver.mfiInit();
    h.driver.mfiStart();
    h.writePending();

    for (int ops = 0; ops < 512 && in.remaining_bytes() > 0; ++ops) {
        switch (in.ConsumeIntegralInRange<int>(0, 17)) {
        case 0:  // start-up and any exchange in flight run to their end
        case 1:
            h.settle(in.ConsumeIntegralInRange<int>(1, 400));
            break;
        case 2:
            h.deviceReads();
            break;
        case 3:
            if (!h.toHost.empty()) {
                Bytes r = std::move(h.toHost.front());
                h.toHost.pop_front();
                h.hostReads(r);
            }
            break;
        case 4:  // a lost report, either way
            if (in.ConsumeBool() && !h.toHost.empty()) h.toHost.pop_front();
            else if (!h.toDevice.empty()) h.toDevice.pop_front();
            break;
        case 5:  // a report read twice
            if (!h.toHost.empty()) h.toHost.push_front(h.toHost.front());
            break;
        case 6:  // a damaged reply: some bytes replaced
            if (!h.toHost.empty()) {
                Bytes& r = h.toHost.front();
                for (int n = in.ConsumeIntegralInRange<int>(1, 4); n > 0 && !r.empty(); --n) {
                    const auto at = in.ConsumeIntegralInRange<std::size_t>(0, r.size() - 1);
                    r[at] = in.ConsumeIntegral<uint8_t>();
                }
            }
            break;
        case 7:  // a reply cut into two reports
            if (!h.toHost.empty() && h.toHost.front().size() > 1) {
                Bytes r = std::move(h.toHost.front());
                h.toHost.pop_front();
                const auto cut = static_cast<std::ptrdiff_t>(in.ConsumeIntegralInRange<std::size_t>(1, r.size() - 1));
                h.toHost.push_front(Bytes(r.begin() + cut, r.end()));
                h.toHost.push_front(Bytes(r.begin(), r.begin() + cut));
            }
            break;
        case 8: {  // raw bytes from a device that lies
            const auto n = in.ConsumeIntegralInRange<std::size_t>(0, 140);
            h.hostReads(in.ConsumeBytes<uint8_t>(n));
            break;
        }
        case 9:
            h.tick();
            break;
        case 10: {  // one control moved
            qv7::ParameterSet s = h.driver.deviceParameters();
            const auto byte = in.ConsumeIntegralInRange<std::size_t>(0, qv7::ParameterSet::kSize - 1);
            s.set(byte, in.ConsumeIntegral<uint8_t>());
            h.driver.mfiSetPara(s);
            break;
        }
        case 11: {
            const int which = in.ConsumeIntegralInRange<int>(0, 2);
            const int value = in.ConsumeIntegralInRange<int>(-1, 3);
            if (which == 0) h.driver.mfiSetMix(value);
            else if (which == 1) h.driver.mfiSetCharge(value);
            else h.driver.mfiSetMode(value);
            break;
        }
        case 12: {
            qv7::AdvancedSettings a = h.driver.deviceAdvanced();
            auto bytes = a.bytes();
            const auto at = in.ConsumeIntegralInRange<std::size_t>(0, bytes.size() - 1);
            bytes[at] = in.ConsumeIntegral<uint8_t>();
            (void)h.driver.mfiSetAdvanced(qv7::AdvancedSettings::fromPrefix(bytes));
            break;
        }
        case 13: {
            const auto name = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 12));
            h.driver.mfiSetRepPara(h.driver.deviceParameters(), name.data(), static_cast<int>(name.size()),
                                   in.ConsumeIntegralInRange<int>(-1, 3));
            break;
        }
        case 14: {  // a small image, so a transfer can finish within one input
            Bytes image(in.ConsumeIntegralInRange<std::size_t>(0, 300));
            for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
            const uint32_t sum = in.ConsumeBool() ? qv7::ImageWordSum(image) : in.ConsumeIntegral<uint32_t>();
            (void)h.driver.mfiBeginUpdate(image, sum, in.ConsumeIntegralInRange<uint8_t>(0, 1));
            break;
        }
        case 15:
            for (auto& r : h.device.batteryReport()) h.toHost.push_back(std::move(r));
            break;
        case 16:  // the device went and came back
            h.driver.mfiInit();
            h.toDevice.clear();
            h.toHost.clear();
            if (in.ConsumeBool()) {
                h.driver.mfiStart();
                h.writePending();
            }
            break;
        default:
            h.driver.clearPending();
            break;
        }
        h.check();
    }
    return 0;
}
