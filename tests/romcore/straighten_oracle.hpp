// The straightening written out group by group, as the byte orders are defined: the image is
// padded with 0x00 to whole groups, then each pair exchanged (16) or each group reversed (32).
// The oracle of the byte-order tests and of the fuzz harness.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "romcore/byteorder.hpp"

namespace oracle {

inline std::vector<std::uint8_t> straightened(std::span<const std::uint8_t> image,
                                              rom::CopyMode mode) {
  std::vector<std::uint8_t> out(image.begin(), image.end());
  out.resize((image.size() + 3) / 4 * 4, 0);
  for (std::size_t i = 0; i < out.size(); i += 4) {
    if (mode == rom::CopyMode::swap16) {
      std::swap(out[i], out[i + 1]);
      std::swap(out[i + 2], out[i + 3]);
    } else if (mode == rom::CopyMode::swap32) {
      std::reverse(out.begin() + static_cast<std::ptrdiff_t>(i),
                   out.begin() + static_cast<std::ptrdiff_t>(i + 4));
    }
  }
  return out;
}

}  // namespace oracle
