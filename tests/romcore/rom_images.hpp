// Test images for the boot check: the random images of the published check values, made-up boot
// areas forged to a chosen CRC-32, and an image rewritten into another byte order.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "base/bytes.hpp"
#include "base/crc32.hpp"
#include "romcore/bootcheck.hpp"
#include "tests/romcore/straighten_oracle.hpp"

namespace rom {
// Failure messages show a check code as the report does.
inline void PrintTo(const CheckCode& code, std::ostream* os) {
  char text[24];
  std::snprintf(text, sizeof text, "%08X %08X", code.crc1, code.crc2);
  *os << text;
}
}  // namespace rom

namespace romtest {

using Bytes = std::vector<std::uint8_t>;

// Python's random module: MT19937 seeded by init_by_array over the seed's 32-bit words.
class PythonRandom {
 public:
  explicit PythonRandom(std::uint32_t seed) {
    init(19650218u);
    std::size_t i = 1;
    for (std::size_t k = kN; k > 0; --k) {  // a key of one word
      mt_[i] = (mt_[i] ^ ((mt_[i - 1] ^ (mt_[i - 1] >> 30)) * 1664525u)) + seed;
      if (++i >= kN) mt_[0] = mt_[kN - 1], i = 1;
    }
    for (std::size_t k = kN - 1; k > 0; --k) {
      mt_[i] = (mt_[i] ^ ((mt_[i - 1] ^ (mt_[i - 1] >> 30)) * 1566083941u)) -
               static_cast<std::uint32_t>(i);
      if (++i >= kN) mt_[0] = mt_[kN - 1], i = 1;
    }
    mt_[0] = 0x80000000u;
  }

  std::uint32_t next() {
    if (index_ >= kN) twist();
    std::uint32_t y = mt_[index_++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    return y ^ (y >> 18);
  }

  // randint(0, 255): a draw of 9 bits (the bit length of 256), drawn again while above 255.
  std::uint8_t randint_byte() {
    for (;;) {
      const std::uint32_t r = next() >> 23;
      if (r < 256) return static_cast<std::uint8_t>(r);
    }
  }

 private:
  static constexpr std::size_t kN = 624, kM = 397;
  void init(std::uint32_t s) {
    mt_[0] = s;
    for (std::size_t i = 1; i < kN; ++i) {
      mt_[i] = 1812433253u * (mt_[i - 1] ^ (mt_[i - 1] >> 30)) + static_cast<std::uint32_t>(i);
    }
  }
  void twist() {
    for (std::size_t i = 0; i < kN; ++i) {
      const std::uint32_t y = (mt_[i] & 0x80000000u) | (mt_[(i + 1) % kN] & 0x7FFFFFFFu);
      mt_[i] = mt_[(i + kM) % kN] ^ (y >> 1) ^ ((y & 1) ? 0x9908B0DFu : 0u);
    }
    index_ = 0;
  }
  std::array<std::uint32_t, kN> mt_{};
  std::size_t index_ = kN;
};

// 0x1000 zero bytes, then 0x100000 bytes of random.seed(0xA1F); random.randint(0, 0xFF).
inline Bytes check_value_image() {
  Bytes image(rom::kCheckedImageLength, 0);
  PythonRandom random(0xA1F);
  for (std::size_t i = rom::kCheckedStart; i < image.size(); ++i) image[i] = random.randint_byte();
  return image;
}

// Sets the last 4 bytes of the boot code so that its CRC-32 is `crc`. The register after four
// bytes depends only on the four table entries they select, so those are found from the end
// backwards, then the bytes that select them from the start.
inline void forge_boot_crc(Bytes& image, std::uint32_t crc) {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    table[n] = c;
  }
  std::array<std::uint8_t, 4> index{};
  std::uint32_t reg = ~crc;
  for (int k = 3; k >= 0; --k) {
    std::uint32_t n = 0;
    while ((table[n] >> 24) != (reg >> 24)) ++n;
    index[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(n);
    reg = (reg ^ table[n]) << 8;
  }
  const std::size_t at = rom::kBootCodeEnd - 4;
  reg = ~crc::crc32({image.data() + rom::kBootCodeStart, at - rom::kBootCodeStart});
  for (std::size_t k = 0; k < 4; ++k) {
    image[at + k] = static_cast<std::uint8_t>((reg ^ index[k]) & 0xFF);
    reg = (reg >> 8) ^ table[index[k]];
  }
}

// A made-up native image of `size` bytes (no boot code of any game): a header with a title and a
// game code, a boot area whose CRC-32 is `boot_crc`, then a counting pattern; the stored check
// code is the one `cic` computes when `right`, else one off.
inline Bytes made_up_image(std::uint32_t boot_crc, rom::Cic cic, bool right,
                           std::size_t size = rom::kCheckedImageLength + 0x4000) {
  Bytes image(size);
  for (std::size_t k = 0; k < size; ++k) image[k] = static_cast<std::uint8_t>(k * 7 + (k >> 12));
  const std::uint8_t head[] = {0x80, 0x37, 0x12, 0x40, 0, 0, 0, 0x0F, 0x80, 0, 0x04, 0};
  std::copy(std::begin(head), std::end(head), image.begin());
  const std::string title = "MADE-UP TEST IMAGE  ", code = "NZZE";
  std::copy(title.begin(), title.end(), image.begin() + 0x20);
  std::copy(code.begin(), code.end(), image.begin() + 0x3B);
  image[0x3F] = 1;
  forge_boot_crc(image, boot_crc);
  rom::CheckCode stored = rom::compute_check(image, cic).value_or(rom::CheckCode{1, 2});
  if (!right) stored.crc2 ^= 1;
  rom::store_check(image, rom::ByteOrder::native, stored);
  return image;
}

// A native image written in `order` (straightening and its undoing are the same rewriting).
inline Bytes in_order(const Bytes& native, rom::ByteOrder order) {
  return oracle::straightened(native, rom::straightening_mode(order));
}

}  // namespace romtest
