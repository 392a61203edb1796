#include <algorithm>
#include <array>

#include "greycore/texels.hpp"

namespace greycore {
namespace {

// Output bytes made per piece handed to a sink.
constexpr std::size_t kPiece = std::size_t{1} << 20;

// Walks the data from `start` in steps of `Step` bytes while the offset is below start + size,
// building one output byte per step from the bytes p[0] .. p[Reach - 1] of that step, and hands
// the output to `sink` a piece at a time. Steps that lie wholly inside the file read it in place;
// the last few, which may run past the end of the file, read from a copy in which the missing
// bytes are 0xFF.
template <std::size_t Step, std::size_t Reach, class Make>
void walk(ByteSpan file, std::int64_t start, std::int64_t size, Make make, const Sink& sink) {
  if (size <= 0 || start < 0) return;
  const std::size_t first = static_cast<std::size_t>(start);
  const std::size_t steps = static_cast<std::size_t>((size + Step - 1) / Step);

  std::size_t whole = 0;  // steps whose bytes are all inside the file
  if (file.size() >= first + Reach)
    whole = std::min(steps, (file.size() - first - Reach) / Step + 1);

  Bytes piece(std::min(steps, kPiece));
  for (std::size_t from = 0; from < steps; from += piece.size()) {
    const std::size_t to = std::min(steps, from + piece.size());
    std::uint8_t* o = piece.data() - from;  // o[i] is the output byte of step i
    const std::size_t inside = std::clamp(whole, from, to);
    const std::uint8_t* in = file.data() + first;
    for (std::size_t i = from; i < inside; ++i) o[i] = make(in + i * Step);
    for (std::size_t i = inside; i < to; ++i) {
      std::array<std::uint8_t, Reach> bytes;
      bytes.fill(0xFF);
      const std::size_t at = first + i * Step;
      for (std::size_t k = 0; k < Reach; ++k) {
        if (at + k < file.size()) bytes[k] = file[at + k];
      }
      o[i] = make(bytes.data());
    }
    sink(ByteSpan(piece.data(), to - from));
  }
}

// Intensity rounded to the nearest sixteenth (halves upwards), never carrying past 0xF.
inline unsigned round_nibble(unsigned p) { return std::min(p + 8u, 0xFFu) >> 4; }

// One pixel (I, A) -> I in bits 7-4, A in bits 3-0; a pixel with alpha below 0x10 is 0.
std::uint8_t ia8(const std::uint8_t* p) {
  const unsigned alpha = p[1] >> 4;
  const unsigned keep = 0u - static_cast<unsigned>(alpha != 0);  // all ones unless transparent
  return static_cast<std::uint8_t>(((p[0] & 0xF0u) | alpha) & keep);
}

// Two pixels (I1, A1, I2, A2) -> two texels of three intensity bits and an alpha bit; a texel
// whose alpha is 0x40 or less is 0.
std::uint8_t ia4(const std::uint8_t* p) {
  const unsigned high = ((p[0] & 0xE0u) | 0x10u) & (0u - static_cast<unsigned>(p[1] > 0x40));
  const unsigned low = (((p[2] >> 5) << 1) | 1u) & (0u - static_cast<unsigned>(p[3] > 0x40));
  return static_cast<std::uint8_t>(high | low);
}

// The chosen byte of two consecutive 16-bit pixels, each cut to its top four bits.
std::uint8_t i4(const std::uint8_t* p) {
  return static_cast<std::uint8_t>((p[0] & 0xF0u) | (p[2] >> 4));
}

// Two 8-bit pixels -> two I 4-bit texels, rounded.
std::uint8_t i4_from_i8(const std::uint8_t* p) {
  return static_cast<std::uint8_t>((round_nibble(p[0]) << 4) | round_nibble(p[1]));
}

}  // namespace

void chewIA(ByteSpan file, std::int64_t size, const Sink& sink) {
  walk<2, 2>(file, position(file), size, ia8, sink);
}

void chewIA4bit(ByteSpan file, std::int64_t size, const Sink& sink) {
  walk<4, 4>(file, position(file), size, ia4, sink);
}

void chewI(ByteSpan file, std::int64_t size, int channel, const Sink& sink) {
  // The walk starts `channel` bytes in, and its end moves with it.
  walk<4, 3>(file, position(file) + channel, size, i4, sink);
}

void diminish(ByteSpan file, std::int64_t size, const Sink& sink) {
  walk<2, 2>(file, position(file), size, i4_from_i8, sink);
}

void convert(ByteSpan file, std::int64_t size, Texels texels, const Sink& sink) {
  switch (texels) {
    case Texels::ia8: chewIA(file, size, sink); break;
    case Texels::ia4: chewIA4bit(file, size, sink); break;
    case Texels::i4_of_alpha: chewI(file, size, 1, sink); break;
    case Texels::i4_of_grey: chewI(file, size, 0, sink); break;
    case Texels::i4_of_grey8: diminish(file, size, sink); break;
  }
}

Bytes convert(ByteSpan file, std::int64_t size, Texels texels) {
  Bytes out;
  convert(file, size, texels,
          [&out](ByteSpan piece) { out.insert(out.end(), piece.begin(), piece.end()); });
  return out;
}

}  // namespace greycore
