// GBK (code page 936) <-> UTF-8 conversion for preset and quick-key names, with explicit failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qv7::gbk {

// GBK bytes of `utf8`; nullopt when the input is not valid UTF-8 or holds a character GBK cannot
// encode. Never substitutes: a name that would be stored mangled must be refused instead.
std::optional<std::string> fromUtf8(std::string_view utf8);

// UTF-8 text of the GBK bytes; nullopt when they are not valid GBK.
std::optional<std::string> toUtf8(std::string_view gbk);

// For display only: invalid GBK sequences become U+FFFD, so a damaged name still shows something.
std::string toUtf8Display(std::string_view gbk);

// How many GBK bytes `utf8` takes; nullopt as for fromUtf8.
std::optional<std::size_t> byteLength(std::string_view utf8);

// The longest prefix of `utf8`, in whole characters, whose GBK form fits `maxBytes`; the edit box
// of the name dialog uses it so a character is never cut in half. Stops before the first
// character GBK cannot encode.
std::string fitToBytes(std::string_view utf8, std::size_t maxBytes);

// Bytes up to the first zero byte (or all of them): how fixed-size name fields hold their text.
std::string textUpToZero(std::span<const uint8_t> field);

}  // namespace qv7::gbk
