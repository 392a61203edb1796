// Conversion speed of each menu key on a 4096 by 4096 image of 16-bit greyscale pixels, in bytes
// of image data per second.
#include <benchmark/benchmark.h>

#include <random>

#include "greycore/texels.hpp"

namespace {

const greycore::Bytes& image() {
  static const greycore::Bytes file = [] {
    constexpr std::size_t kData = std::size_t{4096} * 4096 * 2;
    greycore::Bytes f = greycore::grey_header(4096, 4096, 16, greycore::kOriginTop | 8);
    std::mt19937 rng(7);
    f.reserve(18 + kData + 26);
    for (std::size_t i = 0; i < kData; i += 4) {
      const std::uint32_t r = rng();
      for (int k = 0; k < 4; ++k) f.push_back(static_cast<std::uint8_t>(r >> (8 * k)));
    }
    const greycore::Bytes end = greycore::footer();
    f.insert(f.end(), end.begin(), end.end());
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
