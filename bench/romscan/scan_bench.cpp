// The scan alone, in memory: a 64 MiB image with 2,000 blocks; random images with a header that
// is no block at every 16th byte (16, 32 and 64 MiB); and images of headers that decode for long
// (Yaz0 over FF bytes, Yay0 and MIO0 over shared tables; 1, 4, 16 and 64 MiB). The rates stay
// flat when the cost is linear.
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

// 0: Yaz0 headers over FF bytes; 1, 2: Yay0, MIO0 headers over shared tables.
void long_trials(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(1)) << 20;
  const planted::Bytes image =
      state.range(0) == 0
          ? planted::yaz0_padding(size)
          : planted::shared_tables(
                size, state.range(0) == 1 ? scancore::Format::yay0 : scancore::Format::mio0);
  for (auto _ : state) {
    const scancore::Scan s = scancore::scan(image);
    // (From 18 MiB on, the first Yaz0 trials reach their size: blocks of FF bytes.)
    if (state.range(0) == 0 ? s.untried > 0 : !s.blocks.empty()) state.SkipWithError("wrong");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}

}  // namespace

BENCHMARK(blocks)->Unit(benchmark::kMillisecond);
BENCHMARK(fakes)->Arg(16)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(long_trials)
    ->ArgsProduct({{0, 1, 2}, {1, 4, 16, 64}})
    ->ArgNames({"format", "MiB"})
    ->Unit(benchmark::kMillisecond);
