// Link packet layout: checksums and every packet the driver builds, against hand-computed bytes.
#include "device/link_packet.h"

#include <gtest/gtest.h>

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
    ::testing::Values(BuiltPacket{"sync reply", link::build(0xC0, 1, 0, 0, link::kLinkParameters),
                                  "FF 5A 00 1A C0 01 00 00 CC 01 7F FF FF 03 E8 00 64 03 01 0A 00 01 0B 02 01 16"},
                      BuiltPacket{"StartIdentification", link::buildControlMessage(1, 0, 0x1D00, {}),
                                  "FF 5A 00 10 40 01 00 0A 4C 40 40 00 06 1D 00 5D"},
                      BuiltPacket{"IdentificationAccepted", link::buildControlMessage(1, 0, 0x1D02, {}),
                                  "FF 5A 00 10 40 01 00 0A 4C 40 40 00 06 1D 02 5B"},
                      BuiltPacket{"StartEAProtocolSession", link::buildControlMessage(1, 0, 0xEA00, kEaParams),
                                  "FF 5A 00 1B 40 01 00 0A 41 40 40 00 11 EA 00 00 05 00 00 00 00 06 00 01 00 00 79"},
                      BuiltPacket{"bare acknowledgement", link::buildBareAck(3, 7), "FF 5A 00 09 40 03 07 00 54"},
                      BuiltPacket{"getCpSerail", *link::buildData(5, 4, kGetCpSerial),
                                  "FF 5A 00 0D 40 05 04 0B 46 00 01 0A F5"}),
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
    } cases[] = {{"start high", 0, 0xFE},      {"start low", 1, 0x5B},     {"length", 3, 0x0C},
                 {"header checksum", 8, 0x47}, {"payload byte", 11, 0x0B}, {"payload checksum", 12, 0xF4}};
    EXPECT_TRUE(link::isValid(good));
    for (const auto& c : cases) {
        auto bad = good;
        bad[c.index] = c.value;
        EXPECT_FALSE(link::isValid(bad)) << c.what;
    }
    EXPECT_FALSE(link::isValid(hex("FF 5A 00 08 40 01 00 00")));  // shorter than a header
}

TEST(ControlMessage, ReadsWhatTheBuildersWrote) {
    struct Case {
        const char* packet;
        uint16_t id, length;
        const char* body;
    } const cases[] = {
        {"FF 5A 00 10 40 01 00 0A 4C 40 40 00 06 1D 00 5D", 0x1D00, 6, ""},
        {"FF 5A 00 10 40 01 00 0A 4C 40 40 00 06 1D 02 5B", 0x1D02, 6, ""},
        {"FF 5A 00 1B 40 01 00 0A 41 40 40 00 11 EA 00 00 05 00 00 00 00 06 00 01 00 00 79", 0xEA00, 17,
         "00 05 00 00 00 00 06 00 01 00 00"},
    };
    for (const auto& c : cases) {
        const auto packet = hex(c.packet);  // the message's spans point into it
        const auto m = link::parseControlMessage(packet);
        ASSERT_TRUE(m) << c.packet;
        EXPECT_EQ(m->id, c.id) << c.packet;
        EXPECT_EQ(m->length, c.length) << c.packet;
        EXPECT_EQ(hex(m->body), c.body) << c.packet;
        EXPECT_TRUE(m->lengthMatchesPacket()) << c.packet;
        ASSERT_TRUE(m->parameters()) << c.packet;
        EXPECT_EQ(hex(*m->parameters()), c.body) << c.packet;
    }
}

TEST(ControlMessage, MalformedInput) {
    // Too short for a message header and its checksum, or without the 40 40 marker: no message.
    EXPECT_FALSE(link::parseControlMessage(hex("FF 5A 00 0F 40 01 00 0A 4C 40 40 00 06 1D 00")));
    EXPECT_FALSE(link::parseControlMessage(hex("FF 5A 00 09 40 03 07 00 54")));
    EXPECT_FALSE(link::parseControlMessage({}));
    EXPECT_FALSE(link::parseControlMessage(hex("FF 5A 00 10 40 01 00 0A 4C 40 41 00 06 1D 00 5C")));
    EXPECT_FALSE(link::parseControlMessage(hex("FF 5A 00 10 40 01 00 0A 4C 00 01 00 06 1D 00 DC")));

    // A length field that disagrees with the packet still gives the message; its parameters say whether
    // the length can be believed.
    struct Case {
        const char* packet;
        bool named;
        const char* parameters;
    } const cases[] = {
        {"FF 5A 00 12 40 01 00 0A 4A 40 40 00 07 1D 01 AA BB 00", true, "AA"},  // names fewer
        {"FF 5A 00 12 40 01 00 0A 4A 40 40 00 09 1D 01 AA BB 00", false, ""},   // names more
        {"FF 5A 00 12 40 01 00 0A 4A 40 40 00 05 1D 01 AA BB 00", false, ""},   // below the header
        {"FF 5A 00 12 40 01 00 0A 4A 40 40 FF FF 1D 01 AA BB 00", false, ""},   // far beyond
    };
    for (const auto& c : cases) {
        const auto packet = hex(c.packet);  // the message's spans point into it
        const auto m = link::parseControlMessage(packet);
        ASSERT_TRUE(m) << c.packet;
        EXPECT_EQ(m->id, link::kMsgIdentificationInformation) << c.packet;
        EXPECT_EQ(hex(m->body), "AA BB") << c.packet;
        EXPECT_FALSE(m->lengthMatchesPacket()) << c.packet;
        EXPECT_EQ(m->parameters().has_value(), c.named) << c.packet;
        if (c.named) {
            EXPECT_EQ(hex(*m->parameters()), c.parameters) << c.packet;
        }
    }
}

TEST(DataPacket, PayloadOfEachShape) {
    struct Case {
        const char* packet;
        bool present;
        uint16_t identifier;
        const char* application;
    } const cases[] = {
        {"FF 5A 00 0D 40 05 04 0B 46 00 01 0A F5", true, link::kDataSessionIdentifier, "0A"},
        {"FF 5A 00 0F 40 05 04 0B 44 00 01 81 81 01 7C", true, link::kDataSessionIdentifier, "81 81 01"},
        {"FF 5A 00 0D 40 05 04 0B 46 00 02 0A F4", true, 0x0002, "0A"},  // the identifier is reported, not judged
        {"FF 5A 00 0C 40 05 04 0B 47 00 01 FF", false, 0, ""},           // no application byte
        {"FF 5A 00 09 40 03 07 00 54", false, 0, ""},                    // header only
        {"", false, 0, ""},
    };
    for (const auto& c : cases) {
        const auto packet = hex(c.packet);
        const auto d = link::dataPayload(packet);
        ASSERT_EQ(d.has_value(), c.present) << c.packet;
        if (!d) continue;
        EXPECT_EQ(d->sessionIdentifier, c.identifier) << c.packet;
        EXPECT_EQ(hex(d->application), c.application) << c.packet;
    }
    // Whatever the builder sends comes back out, up to the largest payload.
    const std::vector<uint8_t> app52(52, 0x11);
    const auto p = link::buildData(1, 0, app52);
    ASSERT_TRUE(p);
    const auto d = link::dataPayload(*p);
    ASSERT_TRUE(d);
    EXPECT_TRUE(std::equal(d->application.begin(), d->application.end(), app52.begin(), app52.end()));
}

TEST(SequenceNumbers, WrapFrom250ToOne) {
    const std::pair<uint8_t, uint8_t> cases[] = {{0, 1}, {1, 2}, {249, 250}, {250, 1}, {251, 1}, {255, 1}};
    for (const auto& [from, to] : cases) EXPECT_EQ(link::nextSeq(from), to) << int(from);
}

}  // namespace
}  // namespace qv7
