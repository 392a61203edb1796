// The decode loop alone, over 64 MiB of output held in memory.
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "data.hpp"
#include "yazcore/decode.hpp"
#include "yazcore/encode.hpp"

namespace {

constexpr std::size_t kSize = std::size_t{64} << 20;

// The compressed file for each kind of data, made once.
const benchdata::Bytes& compressed(const std::string& kind, bool yay0) {
  static std::map<std::string, benchdata::Bytes> files;
  const std::string key = kind + (yay0 ? "/yay0" : "/yaz0");
  auto it = files.find(key);
  if (it == files.end()) {
    const auto data = benchdata::make_data(kind, kSize);
    const auto format = yay0 ? yazcore::Format::yay0 : yazcore::Format::yaz0;
    it = files.emplace(key, yazcore::encode(data, format, yazcore::Mode::classic)).first;
  }
  return it->second;
}

void decode(benchmark::State& state, const std::string& kind, bool yay0) {
  const auto& file = compressed(kind, yay0);
  const yazcore::ByteSpan span(file);
  const auto header = yazcore::read_header(span, file.size(), yazcore::classify(span));
  for (auto _ : state) {
    yazcore::Output out(header.size);
    out.reserve(header.size);
    const auto step = yay0 ? yazcore::yay0dec(span, header.link, header.chunk, out)
                           : yazcore::yaz0dec(span.subspan(16), out);
    if (step.status != yazcore::Status::done) state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
  state.counters["ratio"] = static_cast<double>(kSize) / static_cast<double>(file.size());
}

}  // namespace

BENCHMARK_CAPTURE(decode, yaz0_mixed, std::string("mixed"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, yaz0_zeros, std::string("zeros"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, yaz0_random, std::string("random"), false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decode, yay0_mixed, std::string("mixed"), true)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
