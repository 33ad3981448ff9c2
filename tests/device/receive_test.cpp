// The receive path: repetition filter, reassembly across reports, link numbers, identification.
#include <gtest/gtest.h>

#include "driver_support.h"
#include "hex.h"
#include "recorder.h"

namespace qv7 {
namespace {

using test::hex;

struct ReceiveTest : ::testing::Test {
    mfi d;
    test::Recorder rec;
    void SetUp() override { rec.attach(d); }
};

// The same packet split at every offset over two reports is processed exactly once.
TEST_F(ReceiveTest, ReassemblesAPacketSplitAtEveryOffset) {
    const std::vector<uint8_t> app = {0x81, 0x81, 0x01};
    const auto packet = *link::buildData(9, 0, app);  // 15 bytes
    // A piece must hold the length field (real reports are 64 bytes) to start a packet.
    for (std::size_t cut = 4; cut < packet.size(); ++cut) {
        d.mfiInit();
        rec.clear();
        d.mfiReceive(std::vector<uint8_t>(packet.begin(), packet.begin() + static_cast<std::ptrdiff_t>(cut)));
        EXPECT_TRUE(rec.events.empty()) << "cut " << cut;
        d.mfiReceive(std::vector<uint8_t>(packet.begin() + static_cast<std::ptrdiff_t>(cut), packet.end()));
        ASSERT_EQ(rec.events.size(), 1u) << "cut " << cut;
        EXPECT_EQ(rec.events[0], test::Event(2, 1));
        EXPECT_EQ(d.batteryText(), "3.85 V");
    }
}

TEST_F(ReceiveTest, HundredBytePacketOverTwoReportsIsProcessedOnce) {
    // An IdentificationInformation padded with an unknown parameter to exactly 100 bytes.
    std::vector<uint8_t> params;
    link::appendParameter(params, 4, std::vector<uint8_t>{'1', '.', '0', '.', '7', 0});
    link::appendParameter(params, 3, std::vector<uint8_t>{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 0});
    const std::size_t fill = 100 - 16 - params.size() - 4;
    link::appendParameter(params, 9, std::vector<uint8_t>(fill, 0x33));
    const auto packet = link::buildControlMessage(1, 0, 0x1D01, params);
    ASSERT_EQ(packet.size(), 100u);
    test::feed(d, packet);  // reports of 64 and 64 bytes: the surplus of the second is never used
    EXPECT_EQ(d.identity().FirmwareVersion, "1.0.7");
    EXPECT_EQ(d.identity().SerialNumber, "ABCDEFGHIJK");
    EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), test::Event(1, 1)), 1);
    EXPECT_EQ(d.step(), kStepIdentificationAccepted);
    ASSERT_FALSE(rec.written.empty());
    EXPECT_EQ(hex(std::span(rec.written.back()).subspan(9, 6)), "40 40 00 06 1D 02");  // IdentificationAccepted
    const auto tail = d.serialTail();
    EXPECT_EQ(std::string(tail.begin(), tail.end()), "BCDEFGHIJK");
}

TEST_F(ReceiveTest, RepeatedReportIsDroppedEvenIfItIsANewPacket) {
    const auto battery = test::deviceData({0x81, 0x81, 0x01}, 3);
    d.mfiReceive(battery);
    d.mfiReceive(battery);
    EXPECT_EQ(rec.events.size(), 1u);
    const auto detect = test::report({0xFF, 0x55, 0x02, 0x00, 0xEE, 0x10});
    d.mfiReceive(detect);
    d.mfiReceive(detect);
    EXPECT_EQ(std::count(rec.trace.begin(), rec.trace.end(), "mfiDecete\n"), 1);
}

TEST_F(ReceiveTest, ShortPacketAfterItInTheReportIsIgnored) {
    // A 64-byte report carrying a 15-byte packet followed by garbage.
    auto r = test::deviceData({0x81, 0x81, 0x01}, 3);
    std::fill(r.begin() + 15, r.end(), 0xEE);
    d.mfiReceive(r);
    EXPECT_EQ(d.batteryText(), "3.85 V");
}

TEST_F(ReceiveTest, DamagedOrForeignReportsChangeNothing) {
    const auto before = d.seq();
    const std::vector<std::vector<uint8_t>> reports = {
        test::report(hex("FF 5A 00 05 40 01 00 00 00")),  // length below a header
        test::report(hex("FF 5A 00 09 40 01 00 00 00")),  // bad header checksum
        test::report(hex("12 34 56")),                    // not a packet start
        test::report(hex("FF 5A 20 00 40 01 00 0B 00")),  // longer than the reassembly buffer
    };
    for (const auto& r : reports) d.mfiReceive(r);
    EXPECT_TRUE(rec.events.empty());
    EXPECT_EQ(d.seq(), before);
    // And a good packet afterwards still starts cleanly.
    d.mfiReceive(test::deviceAck(4));
    EXPECT_EQ(d.seq(), before + 1);
}

TEST_F(ReceiveTest, SeqWrapsAfter250) {
    for (int i = 0; i < 250; ++i) d.mfiReceive(test::deviceAck(static_cast<uint8_t>(i % 2 ? 7 : 8)));
    EXPECT_EQ(d.seq(), 1);  // 1 + 250 increments
    d.mfiReceive(test::deviceAck(9));
    EXPECT_EQ(d.seq(), 2);
}

TEST_F(ReceiveTest, BareAckCarriesTheDeviceSequenceNumber) {
    // A battery packet with device sequence 7 and ack 0x33: the answer acknowledges 7.
    d.mfiReceive(test::report(*link::buildData(7, 0x33, std::vector<uint8_t>{0x81, 0x81, 0x01})));
    ASSERT_EQ(d.pendingLength(), 9);
    EXPECT_EQ(hex(d.pendingPacket()), hex(link::buildBareAck(2, 7)));
    EXPECT_EQ(d.ack(), 0x33);
}

TEST_F(ReceiveTest, SyncPacketOnlyAnswersAt26Bytes) {
    d.mfiReceive(test::report(link::build(0x80, 1, 0x21, 0, link::kLinkParameters)));
    ASSERT_EQ(rec.written.size(), 1u);
    EXPECT_EQ(rec.written[0].size(), 26u);
    EXPECT_EQ(rec.written[0][4], 0xC0);
    rec.clear();
    const uint8_t shorter[] = {1, 2, 3};
    d.mfiReceive(test::report(link::build(0x80, 2, 0x44, 0, shorter)));
    EXPECT_TRUE(rec.written.empty());
    EXPECT_EQ(d.ack(), 0x44);
}

TEST_F(ReceiveTest, IdentificationThatDoesNotAddUpStoresNothingButMovesOn) {
    std::vector<uint8_t> params;
    link::appendParameter(params, 4, std::vector<uint8_t>{'1', '.', '0', '.', '7', 0});
    params[1] = 0x40;  // a length past the end
    test::feed(d, link::buildControlMessage(1, 0, 0x1D01, params));
    EXPECT_EQ(d.identity().FirmwareVersion, "");
    EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), test::Event(1, 1)), 0);
    EXPECT_EQ(d.step(), kStepIdentificationAccepted);
}

TEST_F(ReceiveTest, TextWithoutTerminatingZeroIsNotStored) {
    std::vector<uint8_t> params;
    link::appendParameter(params, 0, std::vector<uint8_t>{'T', 'o'});
    link::appendParameter(params, 4, std::vector<uint8_t>{'1', '.', '0', '.', '2', 0});
    test::feed(d, link::buildControlMessage(1, 0, 0x1D01, params));
    EXPECT_EQ(d.identity().Name, "");
    EXPECT_EQ(d.identity().FirmwareVersion, "1.0.2");
}

TEST(VersionAbove, Table) {
    struct Case {
        const char* version;
        int n;
        bool above;
    } cases[] = {{"1.0.7", 106, true}, {"1.0.6", 106, false}, {"1.10.0", 106, false}, {"1.0.x", 100, false},
                 {"1.0.3", 102, true}, {"1.0.2", 102, false}, {"1.0.2", 101, true},   {"", 0, false},
                 {"107", 106, true},   {"1..0.7", 106, true}};
    for (const auto& c : cases) {
        mfi d;
        d.setDiagnostics([](std::string_view) {});
        test::identify(d, c.version);
        EXPECT_EQ(d.mfiVersionAbove(c.n), c.above) << c.version << " > " << c.n;
    }
}

}  // namespace
}  // namespace qv7
