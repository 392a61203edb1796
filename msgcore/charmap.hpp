// The character map: the game's one-byte codes for the Japanese kana, Japanese punctuation and two
// symbols written as three-byte UTF-8 sequences. Only the second and third byte form the key; the
// lead byte is not looked at.
#pragma once

#include <cstdint>

#include "msgcore/diagnostics.hpp"

namespace msg {

inline constexpr std::uint8_t kNoMatch = 0x80;
inline constexpr int kCharmapEntries = 169;

// The code for the key b2 b3, or kNoMatch.
std::uint8_t charmap_lookup(std::uint8_t b2, std::uint8_t b3);

// The same, reporting status 0 through `diag` when the map does not hold the key.
std::uint8_t map_character(std::uint8_t b2, std::uint8_t b3, Diagnostics& diag);

}  // namespace msg
