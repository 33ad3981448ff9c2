// Commands the setters send and replies the driver accepts, by firmware variant.
#include <gtest/gtest.h>

#include "driver_support.h"
#include "hex.h"
#include "recorder.h"

namespace qv7 {
namespace {

using test::hex;

// The application bytes of a data packet.
std::string appOf(const std::vector<uint8_t>& packet) { return hex(std::span(packet).subspan(11, packet.size() - 12)); }

struct Driver {
    mfi d;
    test::Recorder rec;
    explicit Driver(const std::string& firmware) {
        rec.attach(d);
        test::identify(d, firmware);
        rec.clear();
    }
    std::string lastApp() const { return rec.written.empty() ? "" : appOf(rec.written.back()); }
};

ParameterSet validSet() {
    return ParameterSet::fromBytes(
        {14, 14, 5, 14, 0, 0, 0, 0, 10, 3, 12, 0, 2, 0, 9, 0, 10, 0, 24, 24, 24, 24, 24, 24, 30, 4, 4, 7, 1, 20});
}

struct CommandCase {
    const char* firmware;
    std::function<void(mfi&)> call;
    const char* app;  // expected application bytes, "" for nothing sent
};

TEST(Commands, PayloadsByFirmware) {
    const ParameterSet s = validSet();
    const AdvancedSettings adv{1, 1, 0, 1, 1, 9, 10};
    const CommandCase cases[] = {
        {"1.0.7", [&](mfi& d) { d.mfiSetPara(s); },
         "01 0E 0E 05 0E 00 00 00 00 0A 03 0C 00 02 00 09 00 0A 00 18 18 18 18 18 18 1E 04 04 07 01 14"},
        {"1.0.0", [&](mfi& d) { d.mfiSetPara(s); },
         "01 0E 0E 05 0E 00 00 00 00 0A 03 0C 00 02 00 09 00 0A 00 18 18 18 18 18 18 1E"},
        {"1.0.7", [&](mfi& d) { d.mfiSetAdvanced(adv); }, "04 01 01 00 01 01 09 0A"},
        {"1.0.6", [&](mfi& d) { d.mfiSetAdvanced(adv); }, "04 01 01 00"},
        {"1.0.7", [](mfi& d) { d.mfiSetMix(1); }, "1A 01 FF"},
        {"1.0.7", [](mfi& d) { d.mfiSetMix(0); }, "1A 00 00"},
        {"1.0.7", [](mfi& d) { d.mfiSetCharge(1); }, "1B 01 FF"},
        {"1.0.7", [](mfi& d) { d.mfiSetMode(2); }, "03 02"},
        {"1.0.7", [](mfi& d) { d.mfiSetMix(2); }, ""},
        {"1.0.7", [](mfi& d) { d.mfiSetCharge(-1); }, ""},
        {"1.0.7", [](mfi& d) { d.mfiSetMode(-1); }, ""},
        {"1.0.7", [&](mfi& d) { d.mfiSetRepPara(s, reinterpret_cast<const uint8_t*>("abcdefghijk"), 11, 0); }, ""},
        {"1.0.7", [&](mfi& d) { d.mfiSetRepPara(s, reinterpret_cast<const uint8_t*>("abc"), 3, 3); }, ""},
        {"1.0.2",
         [&](mfi& d) {
             ParameterSet t = s;
             t.liveVol = 20;
             d.mfiSetPara(t);
         },
         ""},
        {"1.0.3",
         [&](mfi& d) {
             ParameterSet t = s;
             t.liveVol = 20;
             d.mfiSetPara(t);
         },
         "01 0E 0E 05 14 00 00 00 00 0A 03 0C 00 02 00 09 00 0A 00 18 18 18 18 18 18 1E 04 04 07 01 14"},
    };
    for (const auto& c : cases) {
        Driver dr(c.firmware);
        const int stepBefore = dr.d.step();
        c.call(dr.d);
        EXPECT_EQ(dr.lastApp(), c.app) << c.firmware << " expected " << c.app;
        if (std::string(c.app).empty()) {
            EXPECT_EQ(dr.d.step(), stepBefore);
        }
    }
}

TEST(Commands, InvalidAdvancedReturnsItsCode) {
    Driver dr("1.0.7");
    AdvancedSettings adv{};
    adv.noise_ctr = 200;
    EXPECT_EQ(dr.d.mfiSetAdvanced(adv), -7);
    EXPECT_TRUE(dr.rec.written.empty());
    Driver older("1.0.6");  // only bytes 0 to 2 count there
    EXPECT_EQ(older.d.mfiSetAdvanced(adv), 0);
}

TEST(Commands, SetRepParaWithTenByteNameIsA56BytePacket) {
    Driver dr("1.0.7");
    dr.d.mfiSetRepPara(validSet(), reinterpret_cast<const uint8_t*>("0123456789"), 10, 2);
    ASSERT_EQ(dr.rec.written.size(), 1u);
    EXPECT_EQ(dr.rec.written[0].size(), 56u);
    const auto app = std::span(dr.rec.written[0]).subspan(11, 44);
    EXPECT_EQ(hex(app.first(4)), "21 02 1E 0A");
    EXPECT_EQ(hex(app.subspan(4, 30)), hex(validSet().bytes()));
    EXPECT_EQ(std::string(app.begin() + 34, app.end()), "0123456789");
}

TEST(Commands, GetparaArgumentFollowsTheFirmware) {
    for (auto [fw, arg] : {std::pair{"1.0.1", "02 01"}, std::pair{"1.0.2", "02 02"}}) {
        Driver dr(fw);
        dr.d.mfiReceive(test::deviceData({0x8A, 'C', 'H', 'I', 'P'}, 50));  // chip serial, then names, ...
        dr.d.mfiReceive(test::deviceData({0xA2, 0, 0, 0}, 51));             // ... then getpara
        EXPECT_EQ(dr.lastApp(), arg) << fw;
    }
}

TEST(Replies, ParameterReplies) {
    std::vector<uint8_t> full = {0x82};
    const auto b = validSet().bytes();
    full.insert(full.end(), b.begin(), b.end());
    full.insert(full.end(), {0, 1, 0, 1, 1, 8, 9});
    auto badEq = full;
    badEq[1 + 24] = 49;
    auto live20 = full;
    live20[1 + 3] = 20;
    std::vector<uint8_t> original(full.begin(), full.begin() + 26);

    struct Case {
        const char* firmware;
        std::vector<uint8_t> reply;
        const char* message;  // "" when accepted
    } cases[] = {
        {"1.0.7", full, ""},
        {"1.0.7", badEq, "Error|收到的参数错误（-18）(0)"},
        {"1.0.2", live20, "Error|收到的参数错误（-3）(0)"},
        {"1.0.3", live20, ""},
        {"1.0.0", original, ""},
    };
    for (const auto& c : cases) {
        Driver dr(c.firmware);
        const int stepBefore = dr.d.step();
        dr.d.mfiReceive(test::deviceData(c.reply, 60));
        EXPECT_TRUE(dr.d.mfiParamsReceived());
        if (std::string(c.message).empty()) {
            EXPECT_TRUE(dr.rec.messages.empty()) << c.firmware;
            EXPECT_EQ(dr.rec.events, std::vector<test::Event>{test::Event(4, 1)});
            EXPECT_EQ(dr.d.step(), stepBefore);  // only getpara's own step ends here
        } else {
            EXPECT_EQ(dr.rec.messages, std::vector<std::string>{c.message}) << c.firmware;
            EXPECT_TRUE(dr.rec.events.empty());
            EXPECT_EQ(dr.d.deviceParameters(), ParameterSet{});
            EXPECT_EQ(dr.d.step(), kStepIdle);
        }
    }
    Driver dr("1.0.7");
    dr.d.mfiReceive(test::deviceData(full, 60));
    EXPECT_EQ(dr.d.deviceParameters(), validSet());
    EXPECT_EQ(dr.d.deviceAdvanced(), (AdvancedSettings{0, 1, 0, 1, 1, 8, 9}));

    Driver old("1.0.0");
    old.d.mfiReceive(test::deviceData(original, 60));
    const auto got = old.d.deviceParameters();
    EXPECT_EQ(std::vector<int>({got.dodgeThreshold, got.dodgeSpeed, got.dodgeLevel, got.hpfCutoff, got.lpfCutoff}),
              std::vector<int>({4, 4, 4, 10, 10}));
}

TEST(Replies, ParameterReplyDuringASetterKeepsTheSetterStep) {
    Driver dr("1.0.7");
    dr.d.mfiSetMix(1);
    std::vector<uint8_t> reply = {0x82};
    const auto b = validSet().bytes();
    reply.insert(reply.end(), b.begin(), b.end());
    dr.d.mfiReceive(test::deviceData(reply, 61));
    EXPECT_EQ(dr.d.step(), kStepSetMix);
    EXPECT_EQ(dr.rec.events.back(), test::Event(4, 1));
    EXPECT_EQ(dr.d.deviceParameters(), validSet());
}

TEST(Replies, BatteryText) {
    Driver dr("1.0.7");
    dr.d.mfiReceive(test::deviceData({0x81, 0x81, 0x01}, 62));
    EXPECT_EQ(dr.d.batteryText(), "3.85 V");
    EXPECT_EQ(dr.rec.events, std::vector<test::Event>{test::Event(2, 1)});
}

TEST(Replies, QuickKeyNames) {
    auto names = [](uint8_t a, uint8_t b, uint8_t c) {
        std::vector<uint8_t> r(34, 0);
        r[0] = 0xA2;
        r[1] = a, r[2] = b, r[3] = c;
        const char* text = "KEY0000000KEY1111111KEY2222222";
        std::copy(text, text + 30, r.begin() + 4);
        return r;
    };
    Driver dr("1.0.7");
    dr.d.mfiReceive(test::deviceData(names(4, 10, 2), 63));
    EXPECT_EQ(dr.d.quickKeyName(0), "KEY0");
    EXPECT_EQ(dr.d.quickKeyName(1), "KEY1111111");
    EXPECT_EQ(dr.d.quickKeyName(2), "KE");

    dr.rec.clear();
    dr.d.mfiReceive(test::deviceData(names(3, 11, 2), 64));
    for (int k = 0; k < 3; ++k) EXPECT_EQ(dr.d.quickKeyName(k), "");
    EXPECT_EQ(dr.lastApp(), "02 02");                    // getpara still goes out ...
    EXPECT_EQ(dr.rec.events.back(), test::Event(6, 1));  // ... and the names event follows it
}

TEST(Checks, AllZeroSetFailsOnDelay) {
    mfi d;
    EXPECT_EQ(d.mfiCheckPara(ParameterSet{}, 30), -11);
    EXPECT_EQ(d.mfiCheckPara(ParameterSet{}, 25), -11);
}

TEST(Checks, LateFieldsCountOnlyAboveTwentyFive) {
    mfi d;
    ParameterSet s = validSet();
    s.dodgeThreshold = s.dodgeSpeed = s.dodgeLevel = s.hpfCutoff = s.lpfCutoff = 0;
    EXPECT_EQ(d.mfiCheckPara(s, 25), 0);
    EXPECT_EQ(d.mfiCheckPara(s, 30), -26);
    s = validSet();
    s.lpfCutoff = 21;
    s.hpfCutoff = 21;
    EXPECT_EQ(d.mfiCheckPara(s, 30), -29);  // lpfCutoff is tested before hpfCutoff
    s = validSet();
    s.effectState = 255;
    EXPECT_EQ(d.mfiCheckPara(s, 30), 0);
}

}  // namespace
}  // namespace qv7
