// Decompiling, in memory, the archive compiled from the generated 32 MiB benchmark dump; the rate
// is of body bytes.
#include <benchmark/benchmark.h>

#include "bench/txt2msg/dumpgen.hpp"
#include "msgcore/decompile.hpp"
#include "msgcore/dump.hpp"
#include "msgcore/sylk.hpp"

namespace {

struct Compiled {
  msg::Archive archive;
  std::vector<std::uint32_t> ends;
};

const Compiled& compiled() {
  static const Compiled c = [] {
    const std::string dump = generate_dump(32u << 20);
    msg::Diagnostics quiet = msg::Diagnostics::quiet();
    Compiled out;
    out.archive = msg::compile_dump(
        {reinterpret_cast<const std::uint8_t*>(dump.data()), dump.size()}, 3, true, quiet);
    std::uint32_t end = 0;
    for (const std::uint32_t length : out.archive.lengths) out.ends.push_back(end += length);
    return out;
  }();
  return c;
}

void run(benchmark::State& state, msg::SourceForm form, msg::MessageCheck check) {
  const Compiled& c = compiled();
  std::size_t written = 0;
  for (auto _ : state) {
    written = 0;
    msg::decompile(c.archive.body, c.ends, {form, true, check},
                   [&written](std::string_view piece) { written += piece.size(); });
    benchmark::DoNotOptimize(written);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.archive.body.size()));
  state.counters["source_bytes"] = static_cast<double>(written);
}

void BM_DecompileDump(benchmark::State& state) {
  run(state, msg::SourceForm::dump, msg::check_dump_line);
}
void BM_DecompileSylk(benchmark::State& state) {
  run(state, msg::SourceForm::sylk, msg::check_cell);
}

}  // namespace

BENCHMARK(BM_DecompileDump)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecompileSylk)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
