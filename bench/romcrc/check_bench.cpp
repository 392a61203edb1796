// Speed of the boot check sum over the checked megabyte, for each kind of chip.
#include <benchmark/benchmark.h>

#include <vector>

#include "romcore/bootcheck.hpp"

namespace {

void check(benchmark::State& state, rom::Cic cic) {
  std::vector<std::uint8_t> image(rom::kCheckedImageLength);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 5);
  for (auto _ : state) benchmark::DoNotOptimize(rom::compute_check(image, cic));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(rom::kCheckedLength));
}

void BM_Check6102(benchmark::State& state) { check(state, rom::Cic::c6102); }
void BM_Check6105(benchmark::State& state) { check(state, rom::Cic::c6105); }
void BM_Check6106(benchmark::State& state) { check(state, rom::Cic::c6106); }

}  // namespace

BENCHMARK(BM_Check6102);
BENCHMARK(BM_Check6105);
BENCHMARK(BM_Check6106);
