// User-preset records built by hand, independently of the code that reads and writes them.
#pragma once

#include <cstddef>
#include <string_view>

#include "hex.h"

namespace qv7::test {

// A record assembled field by field: header, 30 setting bytes, a 10-byte name, checksum last.
inline Bytes handRecord(const Bytes& set30, std::string_view name, int checksumDelta = 0) {
    Bytes r(100, 0);
    r[0] = 0x1E;
    r[1] = 0x0A;
    for (std::size_t i = 0; i < 30; ++i) r[2 + i] = set30.at(i);
    for (std::size_t i = 0; i < name.size() && i < 10; ++i) r[32 + i] = static_cast<uint8_t>(name[i]);
    unsigned sum = 0;
    for (std::size_t i = 0; i < 99; ++i) sum += r[i];
    r[99] = static_cast<uint8_t>((sum + static_cast<unsigned>(checksumDelta)) & 0xFF);
    return r;
}

// The bytes of "唱歌默认" (built-in 1), a valid set on every firmware.
inline Bytes singingDefault() {
    return {14, 14, 14, 14, 1, 0, 0, 10, 10, 3, 12, 0, 2, 0, 9, 0, 10, 1, 18, 23, 24, 25, 30, 31, 31, 4, 4, 7, 2, 15};
}

// What saving "唱歌默认"'s settings as "abc" must write: header, 30 setting bytes, the three letters,
// 7 + 57 zero bytes, checksum 0x96 (40 + 328 + 294 = 662 = 0x296).
inline Bytes abcRecordFixture() {
    return cat({hex("1E 0A"),
                hex("0E 0E 0E 0E 01 00 00 0A 0A 03 0C 00 02 00 09 00 0A 01 12 17 18 19 1E 1F 1F 04 04 07 02 0F"),
                hex("61 62 63"), zeros(7), zeros(57), hex("96")});
}

}  // namespace qv7::test
