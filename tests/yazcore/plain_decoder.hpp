// Plain byte-by-byte Yaz0, Yay0 and MIO0 decoders written from the formats, with the same faults
// and fault offsets as the fast decoder: the oracle of the decoder's and the scanner's tests and
// fuzz harnesses.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/bytes.hpp"
#include "yazcore/decode.hpp"

namespace oracle {

struct Plain {
  yazcore::Status status = yazcore::Status::done;
  std::uint64_t at = 0;
  std::vector<std::uint8_t> out;
  // Where each stream stood at the end: Yaz0's in `chunks`; the tables' mask words, links and
  // chunks (literal bytes, long-copy lengths).
  std::size_t masks = 0, links = 0, chunks = 0;
};

// A copy of `len` bytes from `dist` back, one byte at a time; false for the two faults.
inline bool plain_copy(Plain& p, std::uint32_t size, std::size_t dist, std::size_t len,
                       std::size_t token) {
  if (dist > p.out.size()) {
    p.status = yazcore::Status::bad_reference;
  } else if (len > size - p.out.size()) {
    p.status = yazcore::Status::overrun;
  } else {
    for (std::size_t k = 0; k < len; ++k) p.out.push_back(p.out[p.out.size() - dist]);
    return true;
  }
  p.at = token;
  return false;
}

// Yaz0 tokens from `start` (the file is Yaz0, or forced: size at 4 or at 8).
inline Plain plain_yaz0(const std::vector<std::uint8_t>& f, bool forced) {
  Plain p;
  const std::size_t n = f.size();
  if (n < 4) return {yazcore::Status::short_read, 0, {}};
  const std::size_t need = forced ? 12 : 8;
  if (n < need) return {yazcore::Status::short_read, n, {}};
  const std::uint32_t size = bytes::load_be32(f.data() + (forced ? 8 : 4));
  std::size_t ip = std::min<std::size_t>(forced ? 12 : 16, n);  // a fault there is at the end
  const auto short_read = [&](std::size_t at) {
    p.status = yazcore::Status::short_read;
    p.at = at;
    return p;
  };
  while (p.out.size() < size) {
    if (ip >= n) return short_read(ip);
    unsigned flags = f[ip++];
    for (int i = 0; i < 8 && p.out.size() < size; ++i, flags <<= 1) {
      const std::size_t token = ip;
      if (flags & 0x80) {
        if (ip >= n) return short_read(token);
        p.out.push_back(f[ip++]);
        continue;
      }
      if (n - ip < 2) return short_read(token);
      std::size_t len = f[ip] >> 4;
      const std::size_t dist = (((f[ip] & 0x0Fu) << 8) | f[ip + 1]) + 1;
      if (len == 0) {
        if (n - ip < 3) return short_read(token);
        len = std::size_t{f[ip + 2]} + 18;
        ip += 3;
      } else {
        len += 2;
        ip += 2;
      }
      if (!plain_copy(p, size, dist, len, token)) return p;
    }
  }
  p.chunks = ip;
  return p;
}

// Yay0, or MIO0 (copies of (length field) + 3 bytes, never long).
inline Plain plain_tables(const std::vector<std::uint8_t>& f, bool mio0) {
  Plain p;
  const std::size_t n = f.size();
  if (n < 4) return {yazcore::Status::short_read, 0, {}};
  if (n < 16) return {yazcore::Status::short_read, n, {}};
  const std::uint32_t size = bytes::load_be32(f.data() + 4);
  std::size_t lp = bytes::load_be32(f.data() + 8);
  std::size_t cp = bytes::load_be32(f.data() + 12);
  if (lp > n) return {yazcore::Status::bad_table, 8, {}};
  if (cp > n) return {yazcore::Status::bad_table, 12, {}};
  std::size_t mp = 16;
  const auto short_read = [&](std::size_t at) {
    p.status = yazcore::Status::short_read;
    p.at = at;
    return p;
  };
  const auto keep = [&] {
    p.masks = mp;
    p.links = lp;
    p.chunks = cp;
  };
  while (p.out.size() < size) {
    keep();
    if (n - mp < 4) return short_read(mp);
    std::uint32_t mask = bytes::load_be32(f.data() + mp);
    mp += 4;
    for (int i = 0; i < 32 && p.out.size() < size; ++i, mask <<= 1) {
      if (mask & 0x80000000u) {
        if (cp >= n) return short_read(cp);
        p.out.push_back(f[cp++]);
        continue;
      }
      if (n - lp < 2) return short_read(lp);
      const std::size_t token = lp;
      const unsigned word = (unsigned{f[lp]} << 8) | f[lp + 1];
      std::size_t len = word >> 12;
      if (mio0) {
        len += 3;
      } else if (len == 0) {
        if (cp >= n) return short_read(cp);
        len = std::size_t{f[cp++]} + 18;
      } else {
        len += 2;
      }
      lp += 2;
      if (!plain_copy(p, size, (word & 0x0FFFu) + 1, len, token)) return p;
    }
  }
  keep();
  return p;
}

inline Plain plain_yay0(const std::vector<std::uint8_t>& f) { return plain_tables(f, false); }
inline Plain plain_mio0(const std::vector<std::uint8_t>& f) { return plain_tables(f, true); }

}  // namespace oracle
