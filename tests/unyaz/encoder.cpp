#include "encoder.hpp"

#include <algorithm>

namespace yazenc {
namespace {

constexpr std::size_t kWindow = 4096;
constexpr std::size_t kMaxLen = 273;
constexpr std::size_t kMinLen = 3;
constexpr int kHashBits = 15;

std::uint32_t hash3(const std::uint8_t* p) {
  const std::uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
  return (v * 2654435761u) >> (32 - kHashBits);
}

void put32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

}  // namespace

std::vector<Token> tokenize(std::span<const std::uint8_t> data, int chain_depth) {
  const std::size_t n = data.size();
  const std::uint8_t* d = data.data();
  std::vector<std::int64_t> head(std::size_t{1} << kHashBits, -1);
  std::vector<std::int64_t> prev(kWindow, -1);
  std::vector<Token> tokens;
  tokens.reserve(n / 2 + 1);

  auto insert = [&](std::size_t pos) {
    if (pos + kMinLen > n) return;
    const std::uint32_t h = hash3(d + pos);
    prev[pos % kWindow] = head[h];
    head[h] = static_cast<std::int64_t>(pos);
  };

  std::size_t pos = 0;
  while (pos < n) {
    std::size_t best_len = 0;
    std::size_t best_dist = 0;
    if (pos + kMinLen <= n) {
      const std::size_t most = std::min(kMaxLen, n - pos);
      std::int64_t cand = head[hash3(d + pos)];
      for (int depth = 0; cand >= 0 && depth < chain_depth; ++depth) {
        const std::size_t c = static_cast<std::size_t>(cand);
        if (pos - c > kWindow) break;
        std::size_t len = 0;
        while (len < most && d[c + len] == d[pos + len]) ++len;
        if (len > best_len) {
          best_len = len;
          best_dist = pos - c;
          if (len == most) break;
        }
        const std::int64_t next = prev[c % kWindow];
        if (next >= cand) break;
        cand = next;
      }
    }
    if (best_len >= kMinLen) {
      tokens.push_back(
          Token{static_cast<std::uint16_t>(best_dist), static_cast<std::uint16_t>(best_len), 0});
      for (std::size_t i = 0; i < best_len; ++i) insert(pos + i);
      pos += best_len;
    } else {
      tokens.push_back(Token{0, 0, d[pos]});
      insert(pos);
      ++pos;
    }
  }
  return tokens;
}

Bytes yaz0_from_tokens(const std::vector<Token>& tokens, std::uint32_t size) {
  Bytes out = {'Y', 'a', 'z', '0'};
  put32(out, size);
  out.resize(16, 0);
  std::size_t flag_at = 0;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (i % 8 == 0) {
      flag_at = out.size();
      out.push_back(0);
    }
    const Token& t = tokens[i];
    if (t.len == 0) {
      out[flag_at] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
      out.push_back(t.literal);
      continue;
    }
    const unsigned dist = t.dist - 1u;
    if (t.len >= 18) {
      out.push_back(static_cast<std::uint8_t>(dist >> 8));
      out.push_back(static_cast<std::uint8_t>(dist));
      out.push_back(static_cast<std::uint8_t>(t.len - 18));
    } else {
      out.push_back(static_cast<std::uint8_t>(((t.len - 2u) << 4) | (dist >> 8)));
      out.push_back(static_cast<std::uint8_t>(dist));
    }
  }
  return out;
}

Bytes yay0_from_tokens(const std::vector<Token>& tokens, std::uint32_t size) {
  std::vector<std::uint32_t> masks((tokens.size() + 31) / 32, 0);
  Bytes links;
  Bytes chunks;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.len == 0) {
      masks[i / 32] |= 0x80000000u >> (i % 32);
      chunks.push_back(t.literal);
      continue;
    }
    const unsigned field = t.len >= 18 ? 0 : t.len - 2u;
    const unsigned link = (field << 12) | (t.dist - 1u);
    links.push_back(static_cast<std::uint8_t>(link >> 8));
    links.push_back(static_cast<std::uint8_t>(link));
    if (t.len >= 18) chunks.push_back(static_cast<std::uint8_t>(t.len - 18));
  }
  Bytes out = {'Y', 'a', 'y', '0'};
  put32(out, size);
  const auto link_at = static_cast<std::uint32_t>(16 + masks.size() * 4);
  put32(out, link_at);
  put32(out, static_cast<std::uint32_t>(link_at + links.size()));
  for (const std::uint32_t m : masks) put32(out, m);
  out.insert(out.end(), links.begin(), links.end());
  out.insert(out.end(), chunks.begin(), chunks.end());
  return out;
}

Bytes yaz0(std::span<const std::uint8_t> data) {
  return yaz0_from_tokens(tokenize(data), static_cast<std::uint32_t>(data.size()));
}

Bytes yay0(std::span<const std::uint8_t> data) {
  return yay0_from_tokens(tokenize(data), static_cast<std::uint32_t>(data.size()));
}

}  // namespace yazenc
