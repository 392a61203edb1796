// The greyscale conversions as a straightforward step-by-step walk over the file, one byte read
// at a time (a byte past the end of the file reads as 0xFF): the oracle of the conversion tests
// and of the fuzz harness.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace oracle {

inline std::vector<std::uint8_t> converted(std::span<const std::uint8_t> file, std::int64_t size,
                                           int key) {
  auto at = [&](std::uint64_t offset) -> unsigned {
    return offset < file.size() ? file[offset] : 0xFF;
  };
  const int channel = key == '3' ? 1 : 0;
  const std::uint64_t start = 18u + at(0) + channel;
  const std::uint64_t end = start + static_cast<std::uint64_t>(size);
  const std::uint64_t step = (key == '1' || key == '5') ? 2 : 4;
  std::vector<std::uint8_t> out;
  for (std::uint64_t o = start; o < end; o += step) {
    unsigned v = 0;
    if (key == '1') {
      v = (at(o) & 0xF0) + (at(o + 1) >> 4);
      if ((at(o + 1) >> 4) == 0) v = 0;
    } else if (key == '2') {
      v = at(o) & ~0x1Fu;
      if (at(o + 1) > 0x40)
        v += 0x10;
      else
        v = 0;
      v += (at(o + 2) >> 5) << 1;
      if (at(o + 3) > 0x40)
        v += 1;
      else
        v &= 0xF0;
    } else if (key == '3' || key == '4') {
      v = (at(o) & 0xF0) + (at(o + 2) >> 4);
    } else {
      unsigned p1 = at(o), p2 = at(o + 1);
      if (p1 <= 0xF7) p1 += 8;
      if (p2 <= 0xF7) p2 += 8;
      v = ((p1 >> 4) << 4) + (p2 >> 4);
    }
    out.push_back(static_cast<std::uint8_t>(v));
  }
  return out;
}

}  // namespace oracle
