// What the PNG writer and reader share: the signature, the samples of a colour type, and the five
// row filters, each defined once for both directions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "texcore/png.hpp"

namespace texcore::png_detail {

inline constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

inline unsigned channels(ColourType type) {
  switch (type) {
    case ColourType::grey:
    case ColourType::palette: return 1;
    case ColourType::grey_alpha: return 2;
    case ColourType::rgb: return 3;
    case ColourType::rgba: return 4;
  }
  return 1;
}

// What filter `type` predicts a byte from: `left` (bpp bytes before), `up` and `corner` (the same
// in the row above).
inline std::uint8_t predict(std::uint8_t type, unsigned left, unsigned up, unsigned corner) {
  switch (type) {
    case 1: return static_cast<std::uint8_t>(left);
    case 2: return static_cast<std::uint8_t>(up);
    case 3: return static_cast<std::uint8_t>((left + up) / 2);
    case 4: {
      const int p = static_cast<int>(left + up) - static_cast<int>(corner);
      const int pa = std::abs(p - static_cast<int>(left));
      const int pb = std::abs(p - static_cast<int>(up));
      const int pc = std::abs(p - static_cast<int>(corner));
      if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(left);
      return static_cast<std::uint8_t>(pb <= pc ? up : corner);
    }
    default: return 0;
  }
}

// Filters the `n` bytes of `line` (after `prev`) with filter `type` into `out`.
inline void filter(std::uint8_t type, const std::uint8_t* line, const std::uint8_t* prev,
                   std::size_t n, unsigned bpp, std::uint8_t* out) {
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned left = i >= bpp ? line[i - bpp] : 0;
    const unsigned corner = i >= bpp ? prev[i - bpp] : 0;
    out[i] = static_cast<std::uint8_t>(line[i] - predict(type, left, prev[i], corner));
  }
}

// Undoes filter `type` on the `n` bytes of `line` in place (after `prev`, already undone).
inline void unfilter(std::uint8_t type, std::uint8_t* line, const std::uint8_t* prev, std::size_t n,
                     unsigned bpp) {
  switch (type) {
    case 0: return;
    case 2:
      for (std::size_t i = 0; i < n; ++i) line[i] = static_cast<std::uint8_t>(line[i] + prev[i]);
      return;
    default:
      for (std::size_t i = 0; i < n; ++i) {
        const unsigned left = i >= bpp ? line[i - bpp] : 0;
        const unsigned corner = i >= bpp ? prev[i - bpp] : 0;
        line[i] = static_cast<std::uint8_t>(line[i] + predict(type, left, prev[i], corner));
      }
  }
}

}  // namespace texcore::png_detail
