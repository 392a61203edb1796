// Conversion speed of each menu key on a 4096 by 4096 image of 16-bit greyscale pixels, in bytes
// of image data per second.
#include <benchmark/benchmark.h>

#include <random>
#include <string_view>

#include "greycore/texels.hpp"

namespace {

const greycore::Bytes& image() {
  static const greycore::Bytes file = [] {
    constexpr std::size_t kData = std::size_t{4096} * 4096 * 2;
    greycore::Bytes f(18, 0);
    f[2] = 3;
    f[12] = 0x00, f[13] = 0x10;  // 4096 wide
    f[14] = 0x00, f[15] = 0x10;  // 4096 high
    f[16] = 16;
    f[17] = 0x28;
    std::mt19937 rng(7);
    f.reserve(18 + kData + 26);
    for (std::size_t i = 0; i < kData; i += 4) {
      const std::uint32_t r = rng();
      for (int k = 0; k < 4; ++k) f.push_back(static_cast<std::uint8_t>(r >> (8 * k)));
    }
    f.insert(f.end(), 8, 0);
    constexpr std::string_view signature("TRUEVISION-XFILE.\0", 18);
    for (char c : signature) f.push_back(static_cast<std::uint8_t>(c));
    return f;
  }();
  return file;
}

void BM_Convert(benchmark::State& state) {
  const int key = static_cast<int>(state.range(0));
  const greycore::Bytes& file = image();
  const auto check = greycore::checkTGA(file);
  for (auto _ : state) {
    greycore::Bytes out = greycore::convert(file, check.size, greycore::kAllTexels[key - '1']);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * check.size);
  state.SetLabel(std::string("key ") + static_cast<char>(key));
}

BENCHMARK(BM_Convert)->DenseRange('1', '5')->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
