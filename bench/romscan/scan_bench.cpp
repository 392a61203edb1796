// The scan alone, in memory: a 64 MiB image with 2,000 blocks, and random images with a header
// that is no block at every 16th byte (16, 32 and 64 MiB: the rate stays flat when the cost is
// linear).
#include <benchmark/benchmark.h>

#include "scancore/scan.hpp"
#include "tests/scancore/planted.hpp"

namespace {

void blocks(benchmark::State& state) {
  std::mt19937 rng(1);
  static const planted::Image image = planted::plant(rng, std::size_t{64} << 20, 2000);
  for (auto _ : state) {
    const scancore::Scan s = scancore::scan(image.bytes);
    if (s.blocks.size() != 2000) state.SkipWithError("not the planted blocks");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.bytes.size()));
}

void fakes(benchmark::State& state) {
  std::mt19937 rng(2);
  const planted::Bytes image =
      planted::fake_headers(rng, static_cast<std::size_t>(state.range(0)) << 20);
  for (auto _ : state) {
    const scancore::Scan s = scancore::scan(image);
    if (!s.blocks.empty()) state.SkipWithError("a block among the fakes");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}

}  // namespace

BENCHMARK(blocks)->Unit(benchmark::kMillisecond);
BENCHMARK(fakes)->Arg(16)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);
