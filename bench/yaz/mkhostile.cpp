// Writes inputs built against match finders: yaz_mkhostile <bucket|prefix|runs> <MiB> <file>
// - bucket: three-byte strings that all fall in one bucket of a 16-bit multiplicative hash of
//   three bytes (the hash a chain finder of this size uses), in random order;
// - prefix: the same 272-byte stretch again and again, each copy cut at a random length from 200
//   on and followed by a random byte (every position has hundreds of long candidates);
// - runs: runs of one byte, 250 to 272 long, of random values from a small set.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bucket(std::size_t size, std::mt19937& rng) {
  std::vector<std::uint32_t> keys;
  for (std::uint32_t v = 0; v < (1u << 24); ++v) {
    if (((v * 2654435761u) >> 16) == 0x1234) keys.push_back(v);
  }
  Bytes out;
  out.reserve(size + 3);
  while (out.size() < size) {
    const std::uint32_t v = keys[rng() % keys.size()];
    for (int s = 0; s < 24; s += 8) out.push_back(static_cast<std::uint8_t>(v >> s));
  }
  out.resize(size);
  return out;
}

Bytes prefix(std::size_t size, std::mt19937& rng) {
  Bytes stretch(272);
  for (auto& b : stretch) b = static_cast<std::uint8_t>(rng());
  Bytes out;
  out.reserve(size + 300);
  while (out.size() < size) {
    const std::size_t len = 200 + rng() % 73;
    out.insert(out.end(), stretch.begin(), stretch.begin() + static_cast<std::ptrdiff_t>(len));
    out.push_back(static_cast<std::uint8_t>(rng()));
  }
  out.resize(size);
  return out;
}

Bytes runs(std::size_t size, std::mt19937& rng) {
  Bytes out;
  out.reserve(size + 300);
  while (out.size() < size)
    out.insert(out.end(), 250 + rng() % 23, static_cast<std::uint8_t>(rng() % 4));
  out.resize(size);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: yaz_mkhostile <bucket|prefix|runs> <MiB> <file>\n", stderr);
    return 1;
  }
  const std::string kind = argv[1];
  const std::size_t size = std::strtoul(argv[2], nullptr, 10) << 20;
  std::mt19937 rng(29);
  const Bytes data = kind == "bucket"   ? bucket(size, rng)
                     : kind == "prefix" ? prefix(size, rng)
                     : kind == "runs"   ? runs(size, rng)
                                        : Bytes{};
  if (data.empty()) return 1;
  std::FILE* f = std::fopen(argv[3], "wb");
  if (f == nullptr || std::fwrite(data.data(), 1, data.size(), f) != data.size() ||
      std::fclose(f) != 0) {
    return 1;
  }
  return 0;
}
