// Reading a generated 100,000-row SYLK table in memory.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/slk2msg/tablegen.hpp"
#include "msgcore/sylk.hpp"

static void BM_ReadTable(benchmark::State& state) {
  const std::string table = generate_table(100000);
  const std::span<const std::uint8_t> src(reinterpret_cast<const std::uint8_t*>(table.data()),
                                          table.size());
  std::FILE* err = std::tmpfile();
  msg::Diagnostics diag(msg::DiagBuild::sylk, err, [] { return EOF; });
  for (auto _ : state) {
    msg::Table t = msg::read_table(src, 2, diag);
    benchmark::DoNotOptimize(t.archive.body.data());
  }
  std::fclose(err);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * table.size()));
}
BENCHMARK(BM_ReadTable)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
