// An image in memory as the PNG and TGA layers take and give it: 8-bit RGBA pixels, row by row
// from the top, and for an indexed image its palette and one index a pixel as well.
#pragma once

#include <cstdint>
#include <vector>

namespace texcore {

struct Rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
  friend bool operator==(const Rgba&, const Rgba&) = default;
  std::uint32_t key() const {
    return std::uint32_t{r} << 24 | std::uint32_t{g} << 16 | std::uint32_t{b} << 8 | a;
  }
};

// The largest image either program makes or reads: 16384 x 16384 pixels, in any shape.
inline constexpr std::uint64_t kMaxPixels = std::uint64_t{16384} * 16384;

struct Image {
  unsigned width = 0;
  unsigned height = 0;
  std::vector<Rgba> pixels{};  // width x height
  // An indexed image: its colours (at most 256) and each pixel's entry; empty otherwise.
  std::vector<Rgba> palette{};
  std::vector<std::uint8_t> indices{};
  // Pixels whose colour was rounded on the way in (16-bit PNG samples that are no 8-bit value):
  // one flag a pixel, or empty when none was.
  std::vector<std::uint8_t> inexact{};

  std::size_t size() const { return pixels.size(); }
  bool indexed() const { return !indices.empty(); }
};

}  // namespace texcore
