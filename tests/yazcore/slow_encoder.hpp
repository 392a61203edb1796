// Slow, plainly correct encoders that the fast one is checked against (by the tests and the fuzz
// harness): the classic rule with a brute-force search at every position it looks at, and an
// exhaustive search for the size of the smallest file.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "yazcore/encode.hpp"

namespace yazslow {

using Bytes = std::vector<std::uint8_t>;
using yazcore::Format;
using yazcore::Token;

// The longest match at `pos` by brute force: every position of the window, nearest last, so
// that the farthest of equal lengths stays.
inline Token slow_longest(const Bytes& d, std::size_t pos) {
  const std::size_t cap = std::min<std::size_t>(273, d.size() - pos);
  Token best;
  for (std::size_t c = pos > 4096 ? pos - 4096 : 0; c < pos; ++c) {
    std::size_t n = 0;
    while (n < cap && d[c + n] == d[pos + n]) ++n;
    if (n > best.length)
      best = {static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(pos - c)};
  }
  return best.length >= 3 ? best : Token{};
}

// The classic rule, searched by brute force at every position it looks at.
inline std::vector<Token> slow_classic(const Bytes& d) {
  std::vector<Token> tokens;
  for (std::size_t pos = 0; pos < d.size();) {
    const Token here = slow_longest(d, pos);
    if (here.length == 0) {
      tokens.push_back({});
      ++pos;
      continue;
    }
    const Token next = pos + 1 < d.size() ? slow_longest(d, pos + 1) : Token{};
    if (next.length >= here.length + 2) {
      tokens.push_back({});
      tokens.push_back(next);
      pos += 1 + next.length;
    } else {
      tokens.push_back(here);
      pos += here.length;
    }
  }
  return tokens;
}

// The size of the smallest file (MIO0's copies: up to 18 bytes, all two-byte), by exhaustive
// search: every token at every position (a copy of any length up to the longest match; its distance
// costs nothing), and the number of tokens already written modulo a flag group, since a group's
// flags cost a byte (Yaz0) or four (Yay0).
inline std::uint64_t smallest_size(const Bytes& d, Format format) {
  const std::size_t group = format == Format::yaz0 ? 8 : 32;
  const std::uint64_t flags = format == Format::yaz0 ? 1 : 4;
  const std::size_t most = format == Format::mio0 ? 18 : 273;  // MIO0: every link two bytes
  const std::size_t n = d.size();
  // rest[pos][r]: the bytes from pos on when r tokens of the current group are used.
  std::vector<std::vector<std::uint64_t>> rest(n + 1, std::vector<std::uint64_t>(group, 0));
  for (std::size_t pos = n; pos-- > 0;) {
    const std::size_t longest = std::min<std::size_t>(slow_longest(d, pos).length, most);
    for (std::size_t r = 0; r < group; ++r) {
      const std::uint64_t start = r == 0 ? flags : 0;
      const std::size_t next = (r + 1) % group;
      std::uint64_t best = start + 1 + rest[pos + 1][next];
      for (std::size_t len = 3; len <= longest; ++len) {
        best = std::min(
            best, start + (len > 17 && format != Format::mio0 ? 3 : 2) + rest[pos + len][next]);
      }
      rest[pos][r] = best;
    }
  }
  return 16 + rest[0][0];
}

}  // namespace yazslow
