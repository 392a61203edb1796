// Applying and making BPS patches in memory, on the 32 MiB pair of run.sh, beside a plain copy of
// the same size (what "near copy speed" is measured against). Rates are MB of target per second.
#include <benchmark/benchmark.h>

#include "bpscore/patch.hpp"
#include "common/memory.hpp"
#include "pair.hpp"

namespace {

constexpr std::size_t kSize = std::size_t{32} << 20;

const std::pair<benchdata::Bytes, benchdata::Bytes>& pair() {
  static const auto p = benchpair::make_pair(kSize);
  return p;
}

const bpscore::Bytes& patch() {
  static const bpscore::Bytes p = bpscore::make(pair().first, pair().second);
  return p;
}

// A copy into a new buffer made as apply makes its own.
void copy(benchmark::State& state) {
  const auto& target = pair().second;
  for (auto _ : state) {
    benchdata::Bytes out;
    out.reserve(target.size());
    memory::advise_large_block(out.data(), out.capacity());
    out.insert(out.end(), target.begin(), target.end());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * pair().second.size()));
}

void apply(benchmark::State& state) {
  const auto c = bpscore::check(patch());
  for (auto _ : state) {
    const auto a = bpscore::apply(patch(), *c, pair().first);
    if (!a.ok()) state.SkipWithError("the patch did not apply");
    benchmark::DoNotOptimize(a->data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * pair().second.size()));
}

// Everything a run does with a patch once the files are read: check it, the source CRC, apply.
void check_and_apply(benchmark::State& state) {
  for (auto _ : state) {
    const auto c = bpscore::check(patch());
    if (!bpscore::is_source(*c, pair().first)) state.SkipWithError("wrong source");
    const auto a = bpscore::apply(patch(), *c, pair().first);
    benchmark::DoNotOptimize(a->data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * pair().second.size()));
}

void make(benchmark::State& state) {
  for (auto _ : state) {
    const bpscore::Bytes p = bpscore::make(pair().first, pair().second);
    benchmark::DoNotOptimize(p.data());
    state.counters["patch bytes"] = static_cast<double>(p.size());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * pair().second.size()));
}

}  // namespace

BENCHMARK(copy)->Unit(benchmark::kMillisecond);
BENCHMARK(apply)->Unit(benchmark::kMillisecond);
BENCHMARK(check_and_apply)->Unit(benchmark::kMillisecond);
BENCHMARK(make)->Unit(benchmark::kMillisecond)->Iterations(3);
