// Link packet layout: checksums and every packet the driver builds, against hand-computed bytes.
#include <gtest/gtest.h>

#include "device/link_packet.h"
#include "hex.h"

namespace qv7 {
namespace {

using test::hex;

TEST(Checksum, WorkedExamples) {
    EXPECT_EQ(link::checksum(hex("FF 5A 00 10 40 01 00 0A")), 0x4C);
    EXPECT_EQ(link::checksum(hex("40 40 00 06 1D 00")), 0x5D);
    EXPECT_EQ(link::checksum({}), 0x00);
}

struct BuiltPacket {
    const char* name;
    link::Packet bytes;
    const char* expected;
};

class Builders : public ::testing::TestWithParam<BuiltPacket> {};

TEST_P(Builders, AreByteExact) {
    const auto& c = GetParam();
    EXPECT_EQ(hex(c.bytes), c.expected) << c.name;
    EXPECT_TRUE(link::isValid(c.bytes)) << c.name;
}

const uint8_t kEaParams[] = {0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x06, 0x00, 0x01, 0x00, 0x00};
const uint8_t kGetCpSerial[] = {0x0A};

INSTANTIATE_TEST_SUITE_P(
    Link, Builders,
    ::testing::Values(
        BuiltPacket{"sync reply", link::build(0xC0, 1, 0, 0, link::kLinkParameters),
                    "FF 5A 00 1A C0 01 00 00 CC 01 7F FF FF 03 E8 00 64 03 01 0A 00 01 0B 02 01 16"},
        BuiltPacket{"StartIdentification", link::buildControlMessage(1, 0, 0x1D00, {}),
                    "FF 5A 00 10 40 01 00 0A 4C 40 40 00 06 1D 00 5D"},
        BuiltPacket{"IdentificationAccepted", link::buildControlMessage(1, 0, 0x1D02, {}),
                    "FF 5A 00 10 40 01 00 0A 4C 40 40 00 06 1D 02 5B"},
        BuiltPacket{"StartEAProtocolSession", link::buildControlMessage(1, 0, 0xEA00, kEaParams),
                    "FF 5A 00 1B 40 01 00 0A 41 40 40 00 11 EA 00 00 05 00 00 00 00 06 00 01 00 00 79"},
        BuiltPacket{"bare acknowledgement", link::buildBareAck(3, 7), "FF 5A 00 09 40 03 07 00 54"},
        BuiltPacket{"getCpSerail", *link::buildData(5, 4, kGetCpSerial), "FF 5A 00 0D 40 05 04 0B 46 00 01 0A F5"}),
    [](const auto& testInfo) {
        std::string n = testInfo.param.name;
        std::replace(n.begin(), n.end(), ' ', '_');
        return n;
    });

TEST(DataPacket, LargestPayloadIs52Bytes) {
    const std::vector<uint8_t> app52(52, 0x11), app53(53, 0x11);
    const auto p = link::buildData(1, 0, app52);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->size(), 64u);
    EXPECT_TRUE(link::isValid(*p));
    EXPECT_FALSE(link::buildData(1, 0, app53));
}

TEST(Validation, RejectsEachDamage) {
    const auto good = hex("FF 5A 00 0D 40 05 04 0B 46 00 01 0A F5");
    struct Case {
        const char* what;
        std::size_t index;
        uint8_t value;
    } cases[] = {{"start high", 0, 0xFE}, {"start low", 1, 0x5B}, {"length", 3, 0x0C},
                 {"header checksum", 8, 0x47}, {"payload byte", 11, 0x0B}, {"payload checksum", 12, 0xF4}};
    EXPECT_TRUE(link::isValid(good));
    for (const auto& c : cases) {
        auto bad = good;
        bad[c.index] = c.value;
        EXPECT_FALSE(link::isValid(bad)) << c.what;
    }
    EXPECT_FALSE(link::isValid(hex("FF 5A 00 08 40 01 00 00")));  // shorter than a header
}

}  // namespace
}  // namespace qv7
