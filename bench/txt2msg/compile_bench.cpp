// Compiling a generated 32 MiB dump in memory.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/txt2msg/dumpgen.hpp"
#include "msgcore/dump.hpp"

static void BM_CompileDump(benchmark::State& state) {
  const std::string dump = generate_dump(32u << 20);
  const std::span<const std::uint8_t> src(reinterpret_cast<const std::uint8_t*>(dump.data()),
                                          dump.size());
  std::FILE* err = std::tmpfile();
  msg::Diagnostics diag(msg::DiagBuild::text_dump, err, [] { return EOF; });
  for (auto _ : state) {
    msg::Archive a = msg::compile_dump(src, 3, true, diag);
    benchmark::DoNotOptimize(a.body.data());
  }
  std::fclose(err);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * dump.size()));
}
BENCHMARK(BM_CompileDump)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
