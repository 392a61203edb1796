#include <algorithm>
#include <array>

#include "greyconv/greyconv.hpp"

namespace greyconv {
namespace {

// Walks the data from `start` in steps of `Step` bytes while the offset is below start + size,
// building one output byte per step from the bytes p[0] .. p[Reach - 1] of that step. Steps that
// lie wholly inside the file read it in place; the last few, which may run past the end of the
// file, read from a copy in which the missing bytes are 0xFF.
template <std::size_t Step, std::size_t Reach, class Make>
Bytes walk(ByteSpan file, std::int64_t start, std::int64_t size, Make make) {
  if (size <= 0 || start < 0) return {};
  const std::size_t first = static_cast<std::size_t>(start);
  const std::size_t steps = static_cast<std::size_t>((size + Step - 1) / Step);
  Bytes out(steps);

  std::size_t whole = 0;  // steps whose bytes are all inside the file
  if (file.size() >= first + Reach)
    whole = std::min(steps, (file.size() - first - Reach) / Step + 1);

  const std::uint8_t* in = file.data() + first;
  std::uint8_t* o = out.data();
  for (std::size_t i = 0; i < whole; ++i) o[i] = make(in + i * Step);

  for (std::size_t i = whole; i < steps; ++i) {
    std::array<std::uint8_t, Reach> bytes;
    bytes.fill(0xFF);
    const std::size_t at = first + i * Step;
    for (std::size_t k = 0; k < Reach; ++k) {
      if (at + k < file.size()) bytes[k] = file[at + k];
    }
    o[i] = make(bytes.data());
  }
  return out;
}

// Intensity rounded to the nearest sixteenth (halves upwards), never carrying past 0xF.
inline unsigned round_nibble(unsigned p) { return std::min(p + 8u, 0xFFu) >> 4; }

}  // namespace

Bytes chewIA(ByteSpan file, std::int64_t size) {
  // One pixel (I, A) -> I in bits 7-4, A in bits 3-0; a pixel with alpha below 0x10 is 0.
  return walk<2, 2>(file, position(file), size, [](const std::uint8_t* p) -> std::uint8_t {
    const unsigned alpha = p[1] >> 4;
    const unsigned keep = 0u - static_cast<unsigned>(alpha != 0);  // all ones unless transparent
    return static_cast<std::uint8_t>(((p[0] & 0xF0u) | alpha) & keep);
  });
}

Bytes chewIA4bit(ByteSpan file, std::int64_t size) {
  // Two pixels (I1, A1, I2, A2) -> two texels of three intensity bits and an alpha bit; a texel
  // whose alpha is 0x40 or less is 0.
  return walk<4, 4>(file, position(file), size, [](const std::uint8_t* p) -> std::uint8_t {
    const unsigned high = ((p[0] & 0xE0u) | 0x10u) & (0u - static_cast<unsigned>(p[1] > 0x40));
    const unsigned low = (((p[2] >> 5) << 1) | 1u) & (0u - static_cast<unsigned>(p[3] > 0x40));
    return static_cast<std::uint8_t>(high | low);
  });
}

Bytes chewI(ByteSpan file, std::int64_t size, int channel) {
  // The chosen byte of two consecutive 16-bit pixels, each cut to its top four bits. The walk
  // starts `channel` bytes in, and its end moves with it.
  return walk<4, 3>(file, position(file) + channel, size,
                    [](const std::uint8_t* p) -> std::uint8_t {
                      return static_cast<std::uint8_t>((p[0] & 0xF0u) | (p[2] >> 4));
                    });
}

Bytes diminish(ByteSpan file, std::int64_t size) {
  // Two 8-bit pixels -> two I 4-bit texels, rounded.
  return walk<2, 2>(file, position(file), size, [](const std::uint8_t* p) -> std::uint8_t {
    return static_cast<std::uint8_t>((round_nibble(p[0]) << 4) | round_nibble(p[1]));
  });
}

Bytes convert(ByteSpan file, std::int64_t size, int key) {
  switch (key) {
    case '1': return chewIA(file, size);
    case '2': return chewIA4bit(file, size);
    case '3': return chewI(file, size, 1);
    case '4': return chewI(file, size, 0);
    case '5': return diminish(file, size);
    default: return {};
  }
}

}  // namespace greyconv
