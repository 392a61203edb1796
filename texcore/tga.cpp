#include "texcore/tga.hpp"

#include "base/text.hpp"

namespace texcore {

base::Result<Bytes> write_tga(const Image& image, bool grey) {
  if (image.width > 0xFFFF || image.height > 0xFFFF) {
    return base::refuse(
        text::cat({"a TGA image holds at most 65535 x 65535 pixels, not ",
                   std::to_string(image.width), " x ", std::to_string(image.height)}));
  }
  const auto lo = [](unsigned v) { return static_cast<std::uint8_t>(v & 0xFF); };
  const auto hi = [](unsigned v) { return static_cast<std::uint8_t>(v >> 8); };
  // Type 3 (grey) or 2 (true colour), 8 alpha bits, the first row at the top (0x20).
  Bytes out = {0,
               0,
               static_cast<std::uint8_t>(grey ? 3 : 2),
               0,
               0,
               0,
               0,
               0,
               0,
               0,
               0,
               0,
               lo(image.width),
               hi(image.width),
               lo(image.height),
               hi(image.height),
               static_cast<std::uint8_t>(grey ? 16 : 32),
               0x28};
  out.reserve(out.size() + image.size() * (grey ? 2 : 4));
  for (const Rgba& p : image.pixels) {
    if (grey) {
      out.insert(out.end(), {p.r, p.a});
    } else {
      out.insert(out.end(), {p.b, p.g, p.r, p.a});
    }
  }
  return out;
}

}  // namespace texcore
