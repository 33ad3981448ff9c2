// The device's answer to one firmware block (0x92, status, offset little-endian, length), written out byte by
// byte rather than with the driver's own builders, so a fault there cannot hide in the fixture.
#pragma once

#include <cstdint>
#include <vector>

namespace qv7::test {

inline std::vector<uint8_t> blockReply(uint8_t status, uint32_t offset, uint8_t len) {
    return {0x92,
            status,
            static_cast<uint8_t>(offset),
            static_cast<uint8_t>(offset >> 8),
            static_cast<uint8_t>(offset >> 16),
            static_cast<uint8_t>(offset >> 24),
            len};
}

}  // namespace qv7::test
