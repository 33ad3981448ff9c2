// Without widgets: which firmware check results reach the window thread, and which prompt answers still count.
#include "panel/update_checks.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/firmware_image.h"
#include "local_http_server.h"
#include "panel_test_support.h"
#include "update/hosts.h"

namespace qv7::panel {
namespace {

using ::qv7::test::Connection;
using ::qv7::test::LocalHttpServer;
using ::qv7::test::RecordedRequest;

// The window thread's queue, run by the test when it chooses.
class CallQueue {
public:
    UiPost post() {
        return [this](std::function<void()> call) {
            std::lock_guard lock(mutex_);
            calls_.push_back(std::move(call));
        };
    }
    std::size_t size() {
        std::lock_guard lock(mutex_);
        return calls_.size();
    }
    void run() {
        std::vector<std::function<void()>> calls;
        {
            std::lock_guard lock(mutex_);
            calls.swap(calls_);
        }
        for (auto& call : calls) call();
    }

private:
    std::mutex mutex_;
    std::vector<std::function<void()>> calls_;
};

template <typename F>
bool waitFor(F done) {
    for (int i = 0; i < 3000; ++i) {  // generous: only a failing test waits this long
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

HttpOptions quiet() {
    HttpOptions o;
    o.diagnostics = [](std::string_view) {};
    return o;
}

// Offers a four-byte image whose version names the hardware the request came from.
class OfferingService {
public:
    OfferingService()
        : server_([](const RecordedRequest& r, int, Connection& c) {
              if (r.method == "GET") {
                  c.send(::qv7::test::fixedReply("abcd"));
                  return;
              }
              const std::string version = r.body.find("\"hwB\"") != std::string::npos ? "B" : "A";
              const std::string* host = r.header("Host");
              c.send(::qv7::test::fixedReply(R"({"status":"112304","softwareVersion":")" + version +
                                             R"(","filesize":4,"urlPath":"http://)" + (host ? *host : "") +
                                             R"(/fw.bin","checksum":"64636261"})"));
          }) {}
    std::string checkUrl() const { return server_.url(kCheckPath); }

private:
    LocalHttpServer server_;
};

enum class Then { Nothing, Supersede, Cancel, Destroy };

struct SlotCase {
    const char* name;
    Then then;  // what happens after the first check has queued its offer, before the queue runs
    std::vector<std::string> delivered;
    std::size_t threadsLeft;
};

TEST(FirmwareCheckSlot, OnlyTheCurrentChecksOfferArrives) {
    const SlotCase cases[] = {
        {"delivered", Then::Nothing, {"A"}, 1},
        {"a new conversation's check supersedes", Then::Supersede, {"B"}, 1},
        {"cancelled by removal or connect", Then::Cancel, {}, 0},
        {"window gone", Then::Destroy, {}, 0},
    };
    OfferingService service;
    for (const SlotCase& c : cases) {
        SCOPED_TRACE(c.name);
        CallQueue queue;
        std::vector<std::string> delivered;
        auto slot = std::make_unique<FirmwareCheckSlot>(
            queue.post(), [&](const FirmwareOffer& o) { delivered.push_back(o.softwareVersion); }, service.checkUrl(),
            quiet());
        slot->start("hwA", "1.0.7");
        ASSERT_TRUE(waitFor([&] { return queue.size() == 1 && !slot->running(); }));
        switch (c.then) {
        case Then::Nothing:
            break;
        case Then::Supersede:
            slot->start("hwB", "1.0.7");
            ASSERT_TRUE(waitFor([&] { return queue.size() == 2 && !slot->running(); }));
            break;
        case Then::Cancel:
            slot->cancel();
            break;
        case Then::Destroy:
            slot.reset();
            break;
        }
        queue.run();
        EXPECT_EQ(delivered, c.delivered);
        if (slot) {
            EXPECT_EQ(slot->threads(), c.threadsLeft);
        }
    }
}

struct HeldCase {
    const char* name;
    std::vector<std::string> startedWhileHeld;  // hardware versions, in order
    bool cancelBeforeRelease;
    std::vector<std::string> delivered;
};

// Held checks send nothing; the release starts only the conversation's latest, and a removal drops it.
TEST(FirmwareCheckSlot, AHeldCheckWaitsForTheReleaseAndOnlyTheLatestStarts) {
    const HeldCase cases[] = {
        {"one check starts at the release", {"hwA"}, false, {"A"}},
        {"a later conversation's check replaces the held one", {"hwA", "hwB"}, false, {"B"}},
        {"a removal before the release drops it", {"hwA"}, true, {}},
    };
    OfferingService service;
    for (const HeldCase& c : cases) {
        SCOPED_TRACE(c.name);
        CallQueue queue;
        std::vector<std::string> delivered;
        FirmwareCheckSlot slot(
            queue.post(), [&](const FirmwareOffer& o) { delivered.push_back(o.softwareVersion); }, service.checkUrl(),
            quiet());
        slot.hold();
        for (const std::string& hardware : c.startedWhileHeld) slot.start(hardware, "1.0.7");
        EXPECT_EQ(slot.threads(), 0u);
        EXPECT_EQ(slot.running(), true);
        if (c.cancelBeforeRelease) slot.cancel();
        slot.release();
        EXPECT_EQ(slot.threads(), c.delivered.empty() ? 0u : 1u);
        ASSERT_TRUE(waitFor([&] { return queue.size() == c.delivered.size() && !slot.running(); }));
        queue.run();
        EXPECT_EQ(delivered, c.delivered);
    }
}

FirmwareOffer offer(std::string version, std::size_t size = 64) {
    FirmwareOffer o;
    o.image.resize(size);
    for (std::size_t i = 0; i < size; ++i) o.image[i] = static_cast<uint8_t>(i * 7 + version.size());
    o.description = "更稳定";
    o.softwareVersion = std::move(version);
    return o;
}

enum class Meanwhile { Nothing, Removal, NewerOffer };

struct AnswerCase {
    const char* name;
    Meanwhile meanwhile;  // between the prompt and the answer
    bool ok;
    bool writing;
    const char* caption;
    bool buttonEnabled;
};

TEST(PanelUpdateGroup, AnAnswerCountsOnlyForTheOfferItWasAskedAbout) {
    const AnswerCase cases[] = {
        {.name = "OK writes",
         .meanwhile = Meanwhile::Nothing,
         .ok = true,
         .writing = true,
         .caption = "有新版本,点击更新",
         .buttonEnabled = false},
        {.name = "Cancel changes nothing",
         .meanwhile = Meanwhile::Nothing,
         .ok = false,
         .writing = false,
         .caption = "有新版本,点击更新",
         .buttonEnabled = true},
        {.name = "device removed before OK",
         .meanwhile = Meanwhile::Removal,
         .ok = true,
         .writing = false,
         .caption = "无新版本",
         .buttonEnabled = false},
        {.name = "newer offer before OK",
         .meanwhile = Meanwhile::NewerOffer,
         .ok = true,
         .writing = false,
         .caption = "有新版本,点击更新",
         .buttonEnabled = true},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::Rig rig;
        rig.start();
        ASSERT_EQ(rig.view.firmwareChecks, 1);
        rig.controller.onFirmwareOffer(offer("1.0.9"));
        ASSERT_TRUE(rig.controller.enabled(1074));
        rig.controller.onClicked(1074, false);
        ASSERT_EQ(rig.view.questions.size(), 1u);
        EXPECT_EQ(rig.view.questions[0].first, "更新提醒");

        if (c.meanwhile == Meanwhile::Removal) {
            rig.sim.unplug();
            rig.controller.onRemoval();
        } else if (c.meanwhile == Meanwhile::NewerOffer) {
            rig.controller.onFirmwareOffer(offer("1.1.0"));
        }
        rig.view.questions[0].second(c.ok);

        const bool writing = rig.controller.updateGroup().state() == FirmwareUpdateGroup::ButtonState::Writing;
        EXPECT_EQ(writing, c.writing);
        EXPECT_EQ(rig.controller.driver().step() != kStepIdle && rig.controller.deviceOpen(), c.writing);
        EXPECT_EQ(rig.controller.text(1074), c.caption);
        EXPECT_EQ(rig.controller.enabled(1074), c.buttonEnabled);
        EXPECT_EQ(rig.controller.enabled(1000), !c.writing && c.meanwhile != Meanwhile::Removal);
    }
}

TEST(PanelUpdateGroup, AnOfferDuringTheWriteKeepsTheImageBeingWritten) {
    test::Rig rig;
    rig.start();
    rig.controller.onFirmwareOffer(offer("1.0.9"));
    rig.controller.onClicked(1074, false);
    ASSERT_EQ(rig.view.questions.size(), 1u);
    rig.view.questions[0].second(true);
    rig.controller.onFirmwareOffer(offer("1.1.0", 128));
    EXPECT_EQ(rig.controller.updateGroup().state(), FirmwareUpdateGroup::ButtonState::Writing);
    EXPECT_EQ(rig.controller.updateGroup().updateSoftwareVersion(), "1.0.9");
    EXPECT_FALSE(rig.controller.enabled(1074));
}

TEST(PanelUpdateGroup, ConnectsAndRemovalsLetTheRunningCheckGo) {
    test::Rig rig;
    rig.start();
    EXPECT_EQ(rig.view.firmwareCheckCancels, 1) << "the first connect";
    rig.sim.unplug();
    rig.controller.onRemoval();
    EXPECT_EQ(rig.view.firmwareCheckCancels, 2);
    rig.sim.replug();
    rig.controller.onArrival();
    EXPECT_EQ(rig.view.firmwareCheckCancels, 3);
}

}  // namespace
}  // namespace qv7::panel
