// The boot check code worked out the slow way, step by step in 64-bit arithmetic with every sum
// cut to 32 bits by hand: the yardstick for rom::compute_check. It counts the steps at which e
// equals the word, and can take the other branch there, as the widely copied sums do.
#pragma once

#include <cstdint>
#include <span>

#include "romcore/bootcheck.hpp"

namespace romtest {

class SlowSum {
 public:
  using U = std::uint64_t;
  static constexpr U kMask = 0xFFFFFFFFu;

  // `image` gives the 6105 family its table (from 0x750); `equal_takes_sum`: e == w goes the
  // way e < w goes.
  SlowSum(std::span<const std::uint8_t> image, rom::Cic cic, bool equal_takes_sum = false)
      : image_(image), equal_takes_sum_(equal_takes_sum) {
    g03_ = cic == rom::Cic::c6103 || cic == rom::Cic::c7103;
    g05_ = cic == rom::Cic::c6105 || cic == rom::Cic::c7105;
    g06_ = cic == rom::Cic::c6106 || cic == rom::Cic::c7106;
    const U seed = g03_ ? 0x78 : g05_ ? 0x91 : g06_ ? 0x85 : 0x3F;
    const U magic = g03_ || g06_ ? 0x6C078965u : 0x5D588B65u;
    a_ = b_ = c_ = d_ = e_ = f_ = (seed * magic + 1) & kMask;
  }

  U word(std::size_t at) const {
    return (U{image_[at]} << 24) | (U{image_[at + 1]} << 16) | (U{image_[at + 2]} << 8) |
           U{image_[at + 3]};
  }

  // Word `i` of the checked area is `w`.
  void add(std::size_t i, U w) {
    if (a_ + w > kMask) b_ = (b_ + 1) & kMask;
    const U wide = w << (w % 32);  // up to 63 bits: the rotation's two halves side by side
    const U r = (wide & kMask) | (wide >> 32);
    a_ = (a_ + w) & kMask;
    c_ ^= w;
    d_ = (d_ + r) & kMask;
    if (e_ == w) ++equal_steps;
    e_ ^= (e_ < w || (equal_takes_sum_ && e_ == w)) ? (a_ ^ w) : r;
    f_ = (f_ + (w ^ (g05_ ? word(0x750 + (4 * i) % 256) : d_))) & kMask;
  }

  std::uint32_t e() const { return static_cast<std::uint32_t>(e_); }

  rom::CheckCode code() const {
    U crc1 = (a_ ^ b_) ^ c_, crc2 = (d_ ^ e_) ^ f_;
    if (g03_) crc1 = ((a_ ^ b_) + c_) & kMask, crc2 = ((d_ ^ e_) + f_) & kMask;
    if (g06_) crc1 = (a_ * b_ + c_) & kMask, crc2 = (d_ * e_ + f_) & kMask;
    return {static_cast<std::uint32_t>(crc1), static_cast<std::uint32_t>(crc2)};
  }

  unsigned equal_steps = 0;  // words that were equal to e when they were added

 private:
  std::span<const std::uint8_t> image_;
  bool equal_takes_sum_;
  bool g03_, g05_, g06_;
  U a_, b_, c_, d_, e_, f_;
};

// The whole sum over the checked area of `image` (at least 0x101000 bytes).
inline SlowSum slow_check(std::span<const std::uint8_t> image, rom::Cic cic,
                          bool equal_takes_sum = false) {
  SlowSum sum(image, cic, equal_takes_sum);
  for (std::size_t i = 0; i < 0x40000; ++i) sum.add(i, sum.word(0x1000 + 4 * i));
  return sum;
}

}  // namespace romtest
