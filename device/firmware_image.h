// Firmware image checksum and the unlock code, shared by the driver and the simulated device.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace qv7 {

// Sum modulo 2^32 of the image's whole little-endian 32-bit words; trailing bytes do not count.
uint32_t ImageWordSum(std::span<const uint8_t> image);

// The 512-entry table the unlock code is drawn from, indexed 1..512.
uint8_t unlockTable(int index);

// 32-byte unlock code from the device's 12-byte challenge and the 10-byte serial tail.
std::array<uint8_t, 32> unlockCode(std::span<const uint8_t, 12> challenge, std::span<const uint8_t, 10> serialTail);

}  // namespace qv7
