// Stand-ins for the window around the controller: a step timer, a device link on the simulator, a recording view.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "panel/panel_controller.h"
#include "sim/sim_transport.h"

namespace qv7::panel::test {

struct FakeTimer : StepTimer {
    std::vector<int> restarts;  // the period of each re-arm
    bool running = false;
    void restart(int ms) override {
        restarts.push_back(ms);
        running = true;
    }
    void stop() override { running = false; }
};

// The simulator as the device: open hands it out while it is plugged in.
struct SimLink : DeviceLink {
    explicit SimLink(sim::SimTransport& s) : sim(s) {}
    sim::SimTransport& sim;
    bool isOpen = false;
    int opens = 0;
    int retired = 0;  // devices closed before a new open
    int closes = 0;
    HidTransport* open() override {
        if (!sim.present()) return nullptr;
        if (isOpen) ++retired;
        isOpen = true;
        ++opens;
        return &sim;
    }
    bool probe() override { return sim.present(); }
    void close() override {
        isOpen = false;
        ++closes;
    }
    // What a tick finds waiting before it is acted on (the window's report queue); nothing unless set.
    std::function<void()> arrived;
    void afterArrived(std::function<void()> then) override {
        if (arrived) arrived();
        then();
    }
};

struct RecordingView : PanelView {
    std::vector<std::pair<std::string, std::string>> messages;  // text, caption
    std::set<int> changed;
    std::vector<int> replaced;
    int firmwareChecks = 0;
    int firmwareCheckCancels = 0;
    // Questions wait here for the test to answer them.
    std::vector<std::pair<std::string, std::function<void(bool)>>> questions;  // caption, answer
    void cancelFirmwareCheck() override { ++firmwareCheckCancels; }
    void askQuestion(const std::string&, const std::string& caption, std::function<void(bool)> answer) override {
        questions.emplace_back(caption, std::move(answer));
    }
    void controlsChanged(const std::set<int>& ids) override { changed.insert(ids.begin(), ids.end()); }
    void showMessage(const std::string& text, const std::string& caption) override {
        messages.emplace_back(text, caption);
    }
    void replaceQuickKey(int key) override { replaced.push_back(key); }
    void startFirmwareCheck() override { ++firmwareChecks; }
};

inline sim::SimConfig simConfig(const std::string& firmware) {
    auto c = sim::defaultConfig();
    c.firmwareVersion = firmware;
    return c;
}

// A controller on an in-process simulator, with reports handed over by pump() instead of a worker.
struct Rig {
    explicit Rig(sim::SimConfig config = sim::defaultConfig(), sim::LinkFaults faults = {})
        : sim(std::move(config), std::move(faults)), link(sim),
          controller(
              timer, link, view, [this](std::string_view l) { trace.emplace_back(l); }, &clock) {}

    sim::SimTransport sim;
    SimLink link;
    FakeTimer timer;
    RecordingView view;
    std::vector<std::string> trace;
    ManualClock clock;  // the controller's time; ticks of `timer` come only when a test calls onTimer
    PanelController controller;

    // Hands the next report the device has sent to the controller; false when there is none.
    bool pumpOne() {
        std::vector<uint8_t> report;
        if (sim.read(report, 0) != ReadStatus::Report) return false;
        controller.onReport(report);
        return true;
    }
    // Hands every report the device has sent to the controller, as the read worker would.
    void pump() {
        std::vector<uint8_t> report;
        while (sim.read(report, 0) == ReadStatus::Report) controller.onReport(report);
    }
    // Window initialisation on a plugged-in device, through the start-up conversation (the timer ticks
    // while the device is still on step 0 with startMode 1 until it answers).
    void start(std::span<const std::string> presets = {}) {
        controller.initialise(presets);
        for (int i = 0; i < 6 && !controller.driver().mfiParamsReceived(); ++i) {
            pump();
            if (!controller.driver().mfiParamsReceived()) controller.onTimer();
        }
        pump();
    }
    long count(std::string_view line) const {
        long n = 0;
        for (const auto& l : trace) n += l == line;
        return n;
    }
    long commands() {
        long n = 0;
        sim.withDevice([&](sim::TolkaSim& d) { n = d.stats().commands; });
        return n;
    }
    ParameterSet deviceParameters() {
        ParameterSet p;
        sim.withDevice([&](sim::TolkaSim& d) { p = d.parameters(); });
        return p;
    }
};

// What f reads from the simulated device, taken under the transport's lock.
template <typename F>
auto readDevice(sim::SimTransport& sim, F f) {
    decltype(f(std::declval<sim::TolkaSim&>())) out{};
    sim.withDevice([&](sim::TolkaSim& d) { out = f(d); });
    return out;
}

}  // namespace qv7::panel::test
