// The character map: the game's one-byte codes for the Japanese kana, Japanese punctuation and two
// symbols written as three-byte UTF-8 sequences. Only the second and third byte form the key; the
// lead byte is not looked at.
#pragma once

#include <cstdint>
#include <span>

#include "msgcore/diagnostics.hpp"

namespace msg {

inline constexpr std::uint8_t kNoMatch = 0x80;
inline constexpr int kCharmapEntries = 169;

struct CharmapEntry {
  std::uint16_t key;  // second byte * 256 + third byte
  std::uint8_t code;
};

// Every entry, sorted by key.
std::span<const CharmapEntry> charmap_entries();

// The lead byte of the character that the map names by `key`: E3 for the kana and the Japanese
// punctuation, E2 for the eighth note, EF for the fullwidth tilde (the map itself takes any lead).
std::uint8_t charmap_lead(std::uint16_t key);

// The code for the key b2 b3, or kNoMatch.
std::uint8_t charmap_lookup(std::uint8_t b2, std::uint8_t b3);

// The code for the three-byte sequence `c` (only its second and third byte count), reporting
// status 0 through `diag` when the map does not hold it.
std::uint8_t map_character(std::span<const std::uint8_t, 3> c, Diagnostics& diag);

}  // namespace msg
