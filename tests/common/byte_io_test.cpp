// Fixed-width reads and writes in both byte orders, and what a read past the end does.
#include "common/byte_io.h"

#include <gtest/gtest.h>

#include <functional>

#include "hex.h"

namespace qv7 {
namespace {

using test::hex;

struct Width {
    const char* name;
    std::size_t size;
    std::function<uint32_t(ByteReader&)> read;
    std::function<void(ByteWriter&, uint32_t)> write;
    uint32_t value;
    const char* bytes;  // `value` as it lies in memory
};

const Width kWidths[] = {
    {"u8", 1, [](ByteReader& r) { return r.u8(); }, [](ByteWriter& w, uint32_t v) { w.u8(static_cast<uint8_t>(v)); },
     0xA5, "A5"},
    {"u16be", 2, [](ByteReader& r) { return r.u16be(); },
     [](ByteWriter& w, uint32_t v) { w.u16be(static_cast<uint16_t>(v)); }, 0x1D01, "1D 01"},
    {"u16le", 2, [](ByteReader& r) { return r.u16le(); },
     [](ByteWriter& w, uint32_t v) { w.u16le(static_cast<uint16_t>(v)); }, 0x0181, "81 01"},
    {"u32be", 4, [](ByteReader& r) { return r.u32be(); }, [](ByteWriter& w, uint32_t v) { w.u32be(v); }, 0x12345678,
     "12 34 56 78"},
    {"u32le", 4, [](ByteReader& r) { return r.u32le(); }, [](ByteWriter& w, uint32_t v) { w.u32le(v); }, 0x00030000,
     "00 00 03 00"},
};

TEST(ByteIo, EachWidthAndOrderRoundTrips) {
    for (const auto& c : kWidths) {
        std::vector<uint8_t> out = {0xEE};  // writes append to what is there
        ByteWriter w(out);
        c.write(w, c.value);
        EXPECT_EQ(hex(out), std::string("EE ") + c.bytes) << c.name;

        ByteReader r(out, 1);
        EXPECT_EQ(c.read(r), c.value) << c.name;
        EXPECT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(r.offset(), 1 + c.size) << c.name;
        EXPECT_EQ(r.remaining(), 0u) << c.name;
    }
}

TEST(ByteIo, ReadingPastTheEndFailsAndStaysFailed) {
    for (const auto& c : kWidths) {
        // One byte short of the width, at the start and after a read that fitted.
        const std::vector<uint8_t> bytes(c.size + 1, 0xFF);
        ByteReader r(bytes, 2);
        EXPECT_EQ(c.read(r), 0u) << c.name;
        EXPECT_FALSE(r.ok()) << c.name;
        EXPECT_EQ(r.remaining(), 0u) << c.name;
        EXPECT_EQ(r.u8(), 0u) << c.name << ": a failed reader reads nothing more";
        EXPECT_TRUE(r.take(0).empty()) << c.name;
        EXPECT_FALSE(r.ok()) << c.name;
    }
    const auto bytes = hex("01 02 03");
    ByteReader r(bytes);
    EXPECT_EQ(hex(r.take(2)), "01 02");
    EXPECT_TRUE(r.take(2).empty());
    EXPECT_FALSE(r.ok());
    ByteReader s(bytes);
    EXPECT_TRUE(s.skip(3));
    EXPECT_FALSE(s.skip(1));
    ByteReader beyond(bytes, 4);  // an offset past the end is a failed reader from the start
    EXPECT_FALSE(beyond.ok());
    EXPECT_EQ(beyond.u8(), 0u);
    ByteReader empty(std::span<const uint8_t>{});
    EXPECT_EQ(empty.u32le(), 0u);
    EXPECT_FALSE(empty.ok());
}

}  // namespace
}  // namespace qv7
