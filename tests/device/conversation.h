// The driver talking to the simulated Tolka in process, on a test clock: shared by the conversation tests.
#pragma once

#include <gtest/gtest.h>

#include "device/firmware_image.h"
#include "device/link_runner.h"
#include "driver_support.h"
#include "hex.h"
#include "recorder.h"
#include "sim/sim_transport.h"

namespace qv7::test {

struct EventLog : LinkEventSink, MessageSink {
    std::vector<Event> events;
    std::vector<std::string> messages;
    void onLinkEvent(int w, int l) override { events.emplace_back(w, l); }
    void showMessage(const std::string& text, const std::string& caption) override {
        messages.push_back(caption + "|" + text);
    }
    // The events other than packet-ready and progress, in order.
    std::vector<Event> notable() const {
        std::vector<Event> out;
        for (const auto& e : events)
            if (e.first != 8 || e.second > 2) out.push_back(e);
        return out;
    }
};

struct Conversation {
    ManualClock clock;
    sim::SimTransport device;
    mfi d;
    EventLog log;
    LinkRunner runner;
    std::vector<std::string> steps;

    explicit Conversation(sim::SimConfig config = sim::defaultConfig(), sim::LinkFaults faults = {})
        : device(std::move(config), faults, &clock), runner(d, device, clock, &log) {
        d.setMessageSink(&log);
        d.setDiagnostics([this](std::string_view l) { steps.emplace_back(l); });
    }
    bool startUp(int startMode = 1, int64_t timeoutMs = 30000) {
        runner.session().connect(startMode);
        return runner.runUntil([&] { return d.mfiParamsReceived() && d.step() == kStepIdle; }, timeoutMs) ==
               LinkRunner::Outcome::Done;
    }
    bool idle(int64_t timeoutMs = 30000) {
        return runner.runUntil([&] { return d.step() == kStepIdle; }, timeoutMs) == LinkRunner::Outcome::Done;
    }
    // Start-up, then one changed field sent; true when the device ends up holding it.
    bool startUpAndChange(std::size_t byte, uint8_t value, int64_t timeoutMs) {
        if (!startUp(1, timeoutMs)) return false;
        ParameterSet s = d.deviceParameters();
        s.set(byte, value);
        d.mfiSetPara(s);
        if (!idle(timeoutMs)) return false;
        bool held = false;
        device.withDevice([&](sim::TolkaSim& sim) { held = sim.parameters().at(byte) == value; });
        return held;
    }
};

inline sim::SimConfig withFirmware(const std::string& version) {
    auto c = sim::defaultConfig();
    c.firmwareVersion = version;
    return c;
}

}  // namespace qv7::test
