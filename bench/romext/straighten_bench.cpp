// Speed of the in-memory straightening of one copy block.
#include <benchmark/benchmark.h>

#include <vector>

#include "romext/romext.hpp"

namespace {

void straighten_block(benchmark::State& state, rom::CopyMode mode) {
  std::vector<std::uint8_t> block(romext::kBlockSize);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 13);
  for (auto _ : state) {
    rom::straighten(block, mode);
    benchmark::DoNotOptimize(block.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(block.size()));
}

void BM_Swap16(benchmark::State& state) { straighten_block(state, rom::CopyMode::swap16); }
void BM_Swap32(benchmark::State& state) { straighten_block(state, rom::CopyMode::swap32); }

}  // namespace

BENCHMARK(BM_Swap16);
BENCHMARK(BM_Swap32);
