// A plain PNG encoder for the tests and the fuzz seeds: any colour type and bit depth, Adam7 or
// not, any filter on each row, written straight from the format's description (zlib's own CRC),
// and the 8-bit RGBA a reader must make of it; and the random texels the suites share.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace pngtest {

using Bytes = std::vector<std::uint8_t>;

struct RawPng {
  std::uint32_t width = 1, height = 1;
  int type = 6;  // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
  int depth = 8;
  bool interlaced = false;
  std::vector<std::uint16_t> samples{};  // width x height x channels, as stored
  Bytes plte{};                          // palette type: 3 bytes an entry
  Bytes trns{};                          // as stored
  int filter = -1;                       // the filter of every row; -1: row k takes filter k % 5

  int channels() const { return type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1; }
};

inline Bytes random_bytes(std::size_t n, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& v : b) v = static_cast<std::uint8_t>(rng());
  return b;
}

inline void chunk(Bytes& out, const char* type, const Bytes& data) {
  const auto n = static_cast<std::uint32_t>(data.size());
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(n >> s));
  Bytes body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  const auto crc =
      static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size())));
  out.insert(out.end(), body.begin(), body.end());
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(crc >> s));
}

inline int paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

inline Bytes encode(const RawPng& png) {
  struct Pass {
    unsigned x0, y0, dx, dy;
  };
  const std::vector<Pass> passes =
      png.interlaced ? std::vector<Pass>{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                         {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}
                     : std::vector<Pass>{{0, 0, 1, 1}};
  const int ch = png.channels();
  const int bpp = std::max(1, ch * png.depth / 8);
  Bytes raw;
  int row_number = 0;
  for (const Pass& p : passes) {
    std::vector<Bytes> rows;
    for (unsigned y = p.y0; y < png.height; y += p.dy) {
      Bytes bits_row;
      unsigned bit = 0;
      for (unsigned x = p.x0; x < png.width; x += p.dx) {
        for (int c = 0; c < ch; ++c) {
          const unsigned v = png.samples[(std::size_t{y} * png.width + x) * ch + c];
          for (int b = png.depth - 1; b >= 0; --b, ++bit) {
            if (bit % 8 == 0) bits_row.push_back(0);
            bits_row.back() =
                static_cast<std::uint8_t>(bits_row.back() | ((v >> b) & 1) << (7 - bit % 8));
          }
        }
      }
      if (!bits_row.empty()) rows.push_back(bits_row);
    }
    Bytes prev;
    for (const Bytes& row : rows) {
      if (prev.empty()) prev.assign(row.size(), 0);
      const int f = png.filter >= 0 ? png.filter : row_number % 5;
      ++row_number;
      raw.push_back(static_cast<std::uint8_t>(f));
      for (std::size_t i = 0; i < row.size(); ++i) {
        const int a = i >= static_cast<std::size_t>(bpp) ? row[i - bpp] : 0;
        const int b = prev[i];
        const int c = i >= static_cast<std::size_t>(bpp) ? prev[i - bpp] : 0;
        const int predicted = f == 1   ? a
                              : f == 2 ? b
                              : f == 3 ? (a + b) / 2
                              : f == 4 ? paeth(a, b, c)
                                       : 0;
        raw.push_back(static_cast<std::uint8_t>(row[i] - predicted));
      }
      prev = row;
    }
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes packed(size);
  compress2(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9);
  packed.resize(size);

  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  for (const std::uint32_t v : {png.width, png.height}) {
    for (int s = 24; s >= 0; s -= 8) ihdr.push_back(static_cast<std::uint8_t>(v >> s));
  }
  ihdr.insert(ihdr.end(),
              {static_cast<std::uint8_t>(png.depth), static_cast<std::uint8_t>(png.type), 0, 0,
               static_cast<std::uint8_t>(png.interlaced)});
  chunk(out, "IHDR", ihdr);
  if (!png.plte.empty()) chunk(out, "PLTE", png.plte);
  if (!png.trns.empty()) chunk(out, "tRNS", png.trns);
  chunk(out, "tEXt", Bytes{'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'x'});  // passed over
  // The image data in two chunks, as many writers split it.
  const std::size_t half = packed.size() / 2;
  chunk(out, "IDAT", Bytes(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(half)));
  chunk(out, "IDAT", Bytes(packed.begin() + static_cast<std::ptrdiff_t>(half), packed.end()));
  chunk(out, "IEND", {});
  return out;
}

// The 8-bit RGBA of pixel i (4 bytes), as a reader must make it.
inline std::array<std::uint8_t, 4> expected(const RawPng& png, std::size_t i) {
  const int ch = png.channels();
  const auto s = [&](int c) { return png.samples[i * ch + c]; };
  const auto to8 = [&](unsigned v) {
    return static_cast<std::uint8_t>(std::lround(v * 255.0 / ((1u << png.depth) - 1)));
  };
  const auto key = [&](int c) { return (png.trns[2 * c] << 8) | png.trns[2 * c + 1]; };
  switch (png.type) {
    case 0: {
      const std::uint8_t g = to8(s(0));
      return {g, g, g, static_cast<std::uint8_t>(!png.trns.empty() && s(0) == key(0) ? 0 : 255)};
    }
    case 2: {
      const bool clear = !png.trns.empty() && s(0) == key(0) && s(1) == key(1) && s(2) == key(2);
      return {to8(s(0)), to8(s(1)), to8(s(2)), static_cast<std::uint8_t>(clear ? 0 : 255)};
    }
    case 3: {
      const unsigned k = s(0);
      return {png.plte[3 * k], png.plte[3 * k + 1], png.plte[3 * k + 2],
              static_cast<std::uint8_t>(k < png.trns.size() ? png.trns[k] : 255)};
    }
    case 4: return {to8(s(0)), to8(s(0)), to8(s(0)), to8(s(1))};
    default: return {to8(s(0)), to8(s(1)), to8(s(2)), to8(s(3))};
  }
}

}  // namespace pngtest
