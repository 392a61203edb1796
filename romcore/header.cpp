#include "romcore/header.hpp"

#include <algorithm>

#include "base/bytes.hpp"

namespace rom {

std::optional<Header> read_header(std::span<const std::uint8_t> native_image) {
  if (native_image.size() < kHeaderLength) return std::nullopt;
  const std::uint8_t* p = native_image.data();
  Header h;
  h.entry_point = bytes::load_be32(p + 0x08);
  std::copy_n(p + 0x20, h.title.size(), h.title.begin());
  std::copy_n(p + 0x3B, h.game_code.size(), h.game_code.begin());
  h.version = p[0x3F];
  return h;
}

const char* region_name(std::uint8_t letter) {
  switch (letter) {
    case 'A': return "Asia";
    case 'B': return "Brazil";
    case 'C': return "China";
    case 'D': return "Germany";
    case 'E': return "North America";
    case 'F': return "France";
    case 'G': return "Gateway 64 (NTSC)";
    case 'H': return "Netherlands";
    case 'I': return "Italy";
    case 'J': return "Japan";
    case 'K': return "Korea";
    case 'L': return "Gateway 64 (PAL)";
    case 'N': return "Canada";
    case 'P':
    case 'X':
    case 'Y':
    case 'Z': return "Europe";
    case 'S': return "Spain";
    case 'U': return "Australia";
    case 'W': return "Scandinavia";
    default: return nullptr;
  }
}

}  // namespace rom
