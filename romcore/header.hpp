// The header of an N64 cartridge image: its first 0x40 bytes, read from an image in the
// console's native byte order. The check code at 0x10 is read by romcore/bootcheck.hpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace rom {

inline constexpr std::size_t kHeaderLength = 0x40;

struct Header {
  std::uint32_t entry_point = 0;            // 0x08: where the game's code starts in memory
  std::array<std::uint8_t, 20> title{};     // 0x20: padded with spaces
  std::array<std::uint8_t, 4> game_code{};  // 0x3B: media letter, two-letter id, region letter
  std::uint8_t version = 0;                 // 0x3F: the ROM's revision, from 0
  std::uint8_t region() const { return game_code[3]; }
};

// The header of a native image; nullopt when the image is shorter than kHeaderLength.
std::optional<Header> read_header(std::span<const std::uint8_t> native_image);

// The name of a region letter (the last letter of the game code): 'E' "North America", 'J'
// "Japan", 'P' "Europe", ...; nullptr for a letter without one.
const char* region_name(std::uint8_t letter);

}  // namespace rom
