// What the PNG writer and reader share: the signature, the samples of a colour type, and the five
// row filters, each defined once for both directions.
#pragma once

#include <algorithm>
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

// What filter `Type` predicts a byte from: `left` (bpp bytes before), `up` and `corner` (the same
// in the row above).
template <int Type>
inline unsigned predict(unsigned left, unsigned up, unsigned corner) {
  if constexpr (Type == 1) {
    return left;
  } else if constexpr (Type == 2) {
    return up;
  } else if constexpr (Type == 3) {
    return (left + up) / 2;
  } else if constexpr (Type == 4) {
    const int p = static_cast<int>(left + up) - static_cast<int>(corner);
    const int pa = std::abs(p - static_cast<int>(left));
    const int pb = std::abs(p - static_cast<int>(up));
    const int pc = std::abs(p - static_cast<int>(corner));
    const unsigned near_up = pb <= pc ? up : corner;
    return pa <= pb && pa <= pc ? left : near_up;
  } else {
    return 0;
  }
}

// Filters the `n` bytes of `line` (after `prev`) with filter `Type` into `out`; returns the sum of
// the filtered bytes taken as signed, the usual measure of how well a row will deflate.
template <int Type>
inline unsigned long filter(const std::uint8_t* line, const std::uint8_t* prev, std::size_t n,
                            unsigned bpp, std::uint8_t* out) {
  unsigned long cost = 0;
  const auto put = [&](std::size_t i, unsigned left, unsigned corner) {
    const auto v = static_cast<std::uint8_t>(line[i] - predict<Type>(left, prev[i], corner));
    out[i] = v;
    cost += v < 128 ? v : 256u - v;
  };
  const std::size_t first = std::min<std::size_t>(bpp, n);
  for (std::size_t i = 0; i < first; ++i) put(i, 0, 0);
  // Without the test for the row's first pixel, the loop vectorises.
  for (std::size_t i = first; i < n; ++i) put(i, line[i - bpp], prev[i - bpp]);
  return cost;
}

template <int Type>
inline void unfilter_as(std::uint8_t* line, const std::uint8_t* prev, std::size_t n, unsigned bpp) {
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned left = i >= bpp ? line[i - bpp] : 0;
    const unsigned corner = i >= bpp ? prev[i - bpp] : 0;
    line[i] = static_cast<std::uint8_t>(line[i] + predict<Type>(left, prev[i], corner));
  }
}

// Undoes filter `type` (0 to 4) on the `n` bytes of `line` in place (after `prev`, already undone).
inline void unfilter(std::uint8_t type, std::uint8_t* line, const std::uint8_t* prev, std::size_t n,
                     unsigned bpp) {
  switch (type) {
    case 1: unfilter_as<1>(line, prev, n, bpp); break;
    case 2: unfilter_as<2>(line, prev, n, bpp); break;
    case 3: unfilter_as<3>(line, prev, n, bpp); break;
    case 4: unfilter_as<4>(line, prev, n, bpp); break;
    default: break;
  }
}

}  // namespace texcore::png_detail
