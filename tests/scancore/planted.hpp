// Made-up images for the scanner's tests, fuzz harness and benchmarks: blocks of all three formats
// at random places between random bytes and bytes that look like machine code, images whose
// every 16th byte starts a header that is no block, and images of headers that decode for long.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "base/bytes.hpp"
#include "scancore/scan.hpp"
#include "yazcore/encode.hpp"

namespace planted {

using Bytes = std::vector<std::uint8_t>;
using scancore::Format;

inline Bytes random_bytes(std::mt19937& rng, std::size_t n) {
  Bytes b(n);
  for (auto& x : b) x = static_cast<std::uint8_t>(rng());
  return b;
}

// Words shaped like MIPS instructions: loads and stores off the stack, jumps, register moves.
inline Bytes code_like(std::mt19937& rng, std::size_t n) {
  static constexpr std::uint32_t kOps[] = {0x8FA00000u, 0xAFA00000u, 0x0C000000u, 0x00000025u,
                                           0x27BD0000u, 0x3C010000u, 0x24420000u, 0x00000000u};
  Bytes b;
  while (b.size() < n) {
    const std::uint32_t op = kOps[rng() % 8];
    const std::uint32_t word = op | (op == 0 ? 0 : (rng() & 0x001FFFFCu));
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<std::uint8_t>(word >> s));
  }
  b.resize(n);
  return b;
}

// Data worth compressing: words from a small vocabulary, runs, and a little noise.
inline Bytes content(std::mt19937& rng, std::size_t n) {
  static const char* const kWords[] = {"lantern ", "marsh ", "the ",     "old ", "bridge\n",
                                       "shop ",    "0123 ",  "village ", "key "};
  Bytes b;
  while (b.size() < n) {
    switch (rng() % 6) {
      case 0: b.insert(b.end(), 1 + rng() % 60, static_cast<std::uint8_t>(rng())); break;
      case 1: b.push_back(static_cast<std::uint8_t>(rng())); break;
      default: {
        const std::string w = kWords[rng() % 9];
        b.insert(b.end(), w.begin(), w.end());
      }
    }
  }
  b.resize(n);
  return b;
}

inline yazcore::Format codec(Format f) {
  return f == Format::yaz0   ? yazcore::Format::yaz0
         : f == Format::yay0 ? yazcore::Format::yay0
                             : yazcore::Format::mio0;
}

struct Image {
  Bytes bytes;                          // native order
  std::vector<scancore::Block> blocks;  // in offset order
  std::vector<Bytes> contents;          // each block expanded
};

// An image of `size` bytes with a native header and `count` blocks (expanded sizes up to
// `largest`) at random 4-aligned places from 0x1000 on, between random and code-like bytes.
inline Image plant(std::mt19937& rng, std::size_t size, std::size_t count,
                   std::size_t largest = 20000) {
  Image image;
  image.bytes = code_like(rng, size);
  const std::uint8_t head[] = {0x80, 0x37, 0x12, 0x40};
  std::copy(std::begin(head), std::end(head), image.bytes.begin());
  std::vector<std::pair<Bytes, Format>> files;
  std::size_t total = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const Format f = static_cast<Format>(rng() % 3);
    const Bytes data = content(rng, 1 + rng() % largest);
    const auto mode = f != Format::mio0 && rng() % 2 ? yazcore::Mode::classic : yazcore::Mode::best;
    files.emplace_back(yazcore::encode(data, codec(f), mode), f);
    image.contents.push_back(data);
    total += files.back().first.size();
  }
  // The room between the blocks, shared out at random.
  const std::size_t room = size - 0x1000 - total;
  std::vector<std::size_t> cuts;
  for (std::size_t i = 0; i < count; ++i) cuts.push_back(rng() % (room + 1) / 4 * 4);
  std::sort(cuts.begin(), cuts.end());
  std::size_t at = 0x1000, last_cut = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t gap = cuts[i] - last_cut;
    last_cut = cuts[i];
    if (rng() % 2) {  // random bytes between here and there
      const Bytes noise = random_bytes(rng, gap);
      std::copy(noise.begin(), noise.end(), image.bytes.begin() + static_cast<std::ptrdiff_t>(at));
    }
    at += gap;
    const Bytes& file = files[i].first;
    std::copy(file.begin(), file.end(), image.bytes.begin() + static_cast<std::ptrdiff_t>(at));
    image.blocks.push_back({static_cast<std::uint32_t>(at),
                            static_cast<std::uint32_t>(at + file.size()), files[i].second,
                            static_cast<std::uint32_t>(image.contents[i].size())});
    at = (at + file.size() + 3) / 4 * 4;
  }
  return image;
}

// Random bytes with a header at every 16th byte: a signature, a size from 256 to 16 MiB, and for
// Yay0 and MIO0 table offsets in order and inside the image. None is a block.
inline Bytes fake_headers(std::mt19937& rng, std::size_t size) {
  Bytes b = random_bytes(rng, size);
  static const char* const kSignatures[] = {"Yaz0", "Yay0", "MIO0"};
  for (std::size_t k = 0; k + 16 <= size; k += 16) {
    const char* sig = kSignatures[rng() % 3];
    std::copy(sig, sig + 4, b.begin() + static_cast<std::ptrdiff_t>(k));
    bytes::store_be32(&b[k + 4], 256 + rng() % (16u << 20));
    const std::uint32_t rest = static_cast<std::uint32_t>(size - k);
    const std::uint32_t link = 16 + rng() % (rest - 15);
    bytes::store_be32(&b[k + 8], link);
    bytes::store_be32(&b[k + 12], link + rng() % (rest - link + 1));
  }
  return b;
}

// FF bytes with a Yaz0 header at every 36th byte whose size, `size`, ends in an FF byte. Every
// header's stream is groups of eight literals that pass over the later headers (the flag byte
// falls on the size's last byte), so each runs to the image's end: no block when `size` is more
// than 8/9 of the image.
inline Bytes yaz0_padding(std::size_t image_size, std::uint32_t size = 0x00FFFFFFu) {
  Bytes b(image_size, 0xFF);
  for (std::size_t k = 0; k + 16 <= image_size; k += 36) {
    std::copy_n("Yaz0", 4, b.begin() + static_cast<std::ptrdiff_t>(k));
    bytes::store_be32(&b[k + 4], size);
  }
  return b;
}

// Yay0 or MIO0 headers at every 20th byte of the image's first tenth (at most 1 MiB), each
// followed by an FF word, whose tables are one shared link table of copies of 3 bytes from 1 back
// (three tenths) and one shared chunk table (the rest), and whose size is twice the image's
// (16 MiB - 1 at most). Each header's mask words are the headers after it, so its trial reads up
// to the shared tables, where its masks or its links run out: no block.
inline Bytes shared_tables(std::size_t image_size, Format format) {
  Bytes b(image_size, 0x00);
  const std::size_t links = std::min<std::size_t>(image_size / 10, 1u << 20) / 4 * 4;
  const std::size_t chunks = links + image_size * 3 / 10 / 4 * 4;
  const auto size = static_cast<std::uint32_t>(std::min<std::size_t>(image_size * 2, 0x00FFFFFFu));
  for (std::size_t k = links; k + 1 < chunks; k += 2) b[k] = format == Format::mio0 ? 0x00 : 0x10;
  for (std::size_t k = 0; k + 20 <= links; k += 20) {
    std::copy_n(format == Format::mio0 ? "MIO0" : "Yay0", 4,
                b.begin() + static_cast<std::ptrdiff_t>(k));
    bytes::store_be32(&b[k + 4], size);
    bytes::store_be32(&b[k + 8], static_cast<std::uint32_t>(links - k));
    bytes::store_be32(&b[k + 12], static_cast<std::uint32_t>(chunks - k));
    bytes::store_be32(&b[k + 16], 0xFFFFFFFFu);
  }
  return b;
}

}  // namespace planted
