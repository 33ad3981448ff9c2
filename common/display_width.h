// How many terminal columns a UTF-8 text takes, so columns of Chinese and Latin names line up.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qv7 {

// Columns `utf8` takes in a terminal: East Asian wide and fullwidth characters (Han, kana, Hangul, fullwidth
// punctuation, emoji) count two, every other character one. A byte that starts no valid character counts one,
// as terminals show it as one replacement character.
std::size_t displayWidth(std::string_view utf8);

// `utf8` followed by spaces up to `columns`; as it is when it is as wide or wider.
std::string padToWidth(std::string_view utf8, std::size_t columns);

}  // namespace qv7
