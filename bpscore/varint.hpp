// The variable-length numbers of BPS patches: 7 bits at a time, low bits first, the high bit set
// on the last byte, and 1 taken off what is left after each byte that is not the last. Every
// number has exactly one encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bpscore {

inline void put_varint(std::vector<std::uint8_t>& out, std::uint64_t v) {
  for (;;) {
    const auto low = static_cast<std::uint8_t>(v & 0x7F);
    v >>= 7;
    if (v == 0) {
      out.push_back(static_cast<std::uint8_t>(0x80 | low));
      return;
    }
    out.push_back(low);
    --v;
  }
}

// The number of bytes put_varint writes for `v`.
constexpr std::size_t varint_size(std::uint64_t v) {
  std::size_t n = 1;
  while ((v >>= 7) != 0) {
    --v;
    ++n;
  }
  return n;
}

// Reads one number at `p`, moving `p` past it. False when the bytes end first or the number does
// not fit in 64 bits; `p` is then left anywhere up to `end`.
inline bool read_varint(const std::uint8_t*& p, const std::uint8_t* end, std::uint64_t& value) {
  constexpr std::uint64_t kMax = ~std::uint64_t{0};
  std::uint64_t data = 0;
  std::uint64_t shift = 1;
  for (;;) {
    if (p == end) return false;
    const std::uint64_t x = *p++;
    const std::uint64_t low = x & 0x7F;
    if (low != 0 && shift > (kMax - data) / low) return false;
    data += low * shift;
    if ((x & 0x80) != 0) {
      value = data;
      return true;
    }
    if (shift > (kMax >> 7)) return false;
    shift <<= 7;
    if (data > kMax - shift) return false;
    data += shift;
  }
}

// The word that starts an action, and the signed offset that follows a copy action.
constexpr std::uint64_t action_word(std::uint64_t length, unsigned kind) {
  return ((length - 1) << 2) | kind;
}
constexpr std::uint64_t offset_word(std::int64_t delta) {
  return delta < 0 ? ((static_cast<std::uint64_t>(-(delta + 1)) + 1) << 1) | 1
                   : static_cast<std::uint64_t>(delta) << 1;
}

}  // namespace bpscore
