// Records what the driver reports and writes, for the driver tests.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "device/mfi.h"

namespace qv7::test {

using Event = std::pair<int, int>;

// Records events, messages, diagnostic lines and every packet that would be written.
struct Recorder : LinkEventSink, MessageSink {
    mfi* driver = nullptr;
    std::vector<Event> events;
    std::vector<std::string> messages;
    std::vector<std::vector<uint8_t>> written;  // packet-ready writes
    std::vector<std::string> trace;

    void attach(mfi& d) {
        driver = &d;
        d.setEventSink(this);
        d.setMessageSink(this);
        d.setDiagnostics([this](std::string_view l) { trace.emplace_back(l); });
    }
    void onLinkEvent(int w, int l) override {
        events.emplace_back(w, l);
        if (isEvent(w, l, ev::kPacketReady) && driver->pendingLength() > 0) {
            auto p = driver->pendingPacket();
            written.emplace_back(p.begin(), p.end());
            driver->clearPending();
        }
    }
    void showMessage(const std::string& text, const std::string& caption) override {
        messages.push_back(caption + "|" + text);
    }
    void clear() {
        events.clear();
        messages.clear();
        written.clear();
        trace.clear();
    }
};

}  // namespace qv7::test
