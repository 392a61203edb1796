// ROM-like pairs for the bps benchmarks. The original: machine code and text, compressed
// (random) files and zero padding. The modified one: about 2000 scattered edits of 1 to 16 bytes,
// some small insertions each evened out by a removal nearby, a moved 1 MiB block, and a rebuilt
// 512 KiB block (its old bytes in pieces of 16 to 512 bytes, in order but with new bytes between
// them and some pieces dropped or taken from elsewhere, as when a compressed file is made again).
#pragma once

#include <algorithm>
#include <random>

#include "data.hpp"

namespace benchpair {

using benchdata::Bytes;

inline Bytes original(std::size_t size, std::mt19937& rng) {
  const Bytes mixed = benchdata::make_data("mixed", size);
  const Bytes random = benchdata::make_data("random", size);
  Bytes out;
  out.reserve(size);
  while (out.size() < size) {
    const std::size_t part = std::min<std::size_t>(size - out.size(), 16384 + rng() % 400000);
    const std::size_t at = out.size();
    switch (rng() % 5) {
      case 0: out.insert(out.end(), random.begin() + at, random.begin() + at + part); break;
      case 1: out.insert(out.end(), std::min<std::size_t>(part, 20000), 0); break;
      default: out.insert(out.end(), mixed.begin() + at, mixed.begin() + at + part);
    }
  }
  out.resize(size);
  return out;
}

inline void rebuild(Bytes& t, std::size_t at, std::size_t size, std::mt19937& rng) {
  Bytes block;
  std::size_t from = at;
  while (block.size() < size && from < at + size) {
    const std::size_t piece = 16 + rng() % 497;
    const unsigned what = rng() % 10;
    if (what == 0) {
      from += piece;  // dropped
      continue;
    }
    const std::size_t src = what == 1 ? at + rng() % size : from;
    for (std::size_t i = 0; i < piece && src + i < t.size(); ++i) block.push_back(t[src + i]);
    if (what != 1) from += piece;
    for (unsigned k = rng() % 9; k > 0; --k) block.push_back(static_cast<std::uint8_t>(rng()));
  }
  block.resize(size, 0);
  std::copy(block.begin(), block.end(), t.begin() + static_cast<std::ptrdiff_t>(at));
}

inline Bytes modified(const Bytes& source, std::mt19937& rng) {
  Bytes t = source;
  const std::size_t n = t.size();
  for (int e = 0; e < 2000; ++e) {
    const std::size_t at = rng() % (n - 16);
    const std::size_t len = 1 + rng() % 16;
    for (std::size_t i = 0; i < len; ++i) t[at + i] = static_cast<std::uint8_t>(rng());
  }
  for (int e = 0; e < 40; ++e) {
    const std::size_t at = rng() % (n - 70000);
    const std::size_t len = 1 + rng() % 64;
    const std::size_t until = at + 1000 + rng() % 60000;
    Bytes fresh(len);
    for (auto& b : fresh) b = static_cast<std::uint8_t>(rng());
    t.erase(t.begin() + static_cast<std::ptrdiff_t>(until),
            t.begin() + static_cast<std::ptrdiff_t>(until + len));
    t.insert(t.begin() + static_cast<std::ptrdiff_t>(at), fresh.begin(), fresh.end());
  }
  const std::size_t mib = std::size_t{1} << 20;
  const std::size_t from = n / 5;
  const Bytes block(t.begin() + static_cast<std::ptrdiff_t>(from),
                    t.begin() + static_cast<std::ptrdiff_t>(from + mib));
  t.erase(t.begin() + static_cast<std::ptrdiff_t>(from),
          t.begin() + static_cast<std::ptrdiff_t>(from + mib));
  t.insert(t.begin() + static_cast<std::ptrdiff_t>(n * 3 / 5), block.begin(), block.end());
  rebuild(t, n * 4 / 5, mib / 2, rng);
  return t;
}

// Both images of `size` bytes (at least 4 MiB), each with the native first word of an N64 image.
inline std::pair<Bytes, Bytes> make_pair(std::size_t size) {
  std::mt19937 rng(static_cast<unsigned>(size >> 20));
  std::pair<Bytes, Bytes> p;
  p.first = original(size, rng);
  p.second = modified(p.first, rng);
  for (Bytes* b : {&p.first, &p.second}) std::copy_n("\x80\x37\x12\x40", 4, b->begin());
  return p;
}

}  // namespace benchpair
