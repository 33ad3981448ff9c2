// Byte fixtures written as hex: "1E 0A 61" in, "1E 0A 61" out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qv7::test {

using Bytes = std::vector<uint8_t>;

// Two hex digits a byte, bytes apart or together. Anything else is a typo in the fixture and throws, so
// the test fails instead of comparing against fewer bytes than were written.
inline Bytes hex(std::string_view text) {
    const auto digit = [text](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        throw std::invalid_argument("not a hex fixture: \"" + std::string(text) + "\"");
    };
    Bytes out;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == ' ' || text[i] == '\n' || text[i] == '\t') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size()) throw std::invalid_argument("odd hex digit in \"" + std::string(text) + "\"");
        out.push_back(static_cast<uint8_t>(digit(text[i]) << 4 | digit(text[i + 1])));
        i += 2;
    }
    return out;
}

inline std::string hex(std::span<const uint8_t> bytes) {
    std::string s;
    char buf[4];
    for (uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, s.empty() ? "%02X" : " %02X", b);
        s += buf;
    }
    return s;
}

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes zeros(std::size_t n) { return Bytes(n, 0); }

}  // namespace qv7::test
