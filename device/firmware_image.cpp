// Image checksum and unlock code.
#include "device/firmware_image.h"

#include <cstddef>

#include "common/byte_io.h"

namespace qv7 {

namespace {

// Our own table: 512 bytes from a fixed 32-bit xorshift sequence, computed at compile time.
constexpr std::array<uint8_t, 512> makeTable() {
    std::array<uint8_t, 512> t{};
    uint32_t x = 0x7156A3C5u;
    for (auto& b : t) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x >> 24);
    }
    return t;
}
constexpr std::array<uint8_t, 512> kUnlockTable = makeTable();

int lowNibblePlusOne(std::span<const uint8_t> bytes) {
    unsigned sum = 0;
    for (uint8_t b : bytes) sum += b;
    return static_cast<int>(sum & 0x0F) + 1;
}

}  // namespace

uint32_t ImageWordSum(std::span<const uint8_t> image) {
    // Whole little-endian words only: a tail of fewer than four bytes is left out.
    uint32_t sum = 0;
    ByteReader words(image);
    for (std::size_t n = image.size() / 4; n > 0; --n) sum += words.u32le();
    return sum;
}

uint8_t unlockTable(int index) { return kUnlockTable.at(static_cast<std::size_t>(index - 1)); }

std::array<uint8_t, 32> unlockCode(std::span<const uint8_t, 12> challenge, std::span<const uint8_t, 10> serialTail) {
    const int k0 = lowNibblePlusOne(challenge.subspan(0, 4));
    const int k1 = lowNibblePlusOne(challenge.subspan(4, 4));
    const int k2 = lowNibblePlusOne(challenge.subspan(8, 4));
    const int k3 = lowNibblePlusOne(serialTail);
    // Largest index: 16 + 31 * 16 = 512, the end of the table.
    std::array<uint8_t, 32> code{};
    for (int i = 0; i < 32; ++i)
        code[static_cast<std::size_t>(i)] = static_cast<uint8_t>(unlockTable(k0 + i * k1) + unlockTable(k2 + i * k3));
    return code;
}

}  // namespace qv7
