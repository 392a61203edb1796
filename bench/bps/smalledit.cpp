// The small-edit benchmark: N (default 1000) generated pairs of 1 to 2 MiB, each target the source
// with 1 to 200 edits of 1 to 64 bytes (new, inserted, removed, adjusted and scattered bytes), as
// between two revisions of a small ROM. For each pair, a patch from bpscore's maker (in memory,
// checked to apply) and from the greedy longest-match comparator; reported: the pairs where ours is
// larger (how many, and the worst), the total sizes, and the maker's speed.
//   bps_smalledit [pairs] [threads]       the report
//   bps_smalledit --pair K <original> <modified>   writes pair K (from 0) to two files
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <thread>

#include "bpscore/patch.hpp"
#include "data.hpp"
#include "greedy.hpp"

namespace {

using greedymaker::Bytes;

struct Pools {
  Bytes mixed = benchdata::make_data("mixed", std::size_t{4} << 20);
  Bytes random = benchdata::make_data("random", std::size_t{4} << 20);
};

// A ROM-like image: pieces of code and text, of compressed (random) data and of zero padding.
Bytes original(const Pools& pools, std::mt19937& rng) {
  const std::size_t size = (std::size_t{1} << 20) + rng() % ((std::size_t{1} << 20) + 1);
  Bytes out;
  out.reserve(size);
  while (out.size() < size) {
    const std::size_t part = std::min<std::size_t>(size - out.size(), 4096 + rng() % 200000);
    const unsigned what = rng() % 6;
    if (what == 0) {
      out.insert(out.end(), std::min<std::size_t>(part, 16384), 0);
      continue;
    }
    const Bytes& pool = what == 1 ? pools.random : pools.mixed;
    const std::size_t at = rng() % (pool.size() - part);
    const auto from = pool.begin() + static_cast<std::ptrdiff_t>(at);
    out.insert(out.end(), from, from + static_cast<std::ptrdiff_t>(part));
  }
  return out;
}

// The source with 1 to 200 edits of 1 to 64 bytes: some overwrite with new bytes, some insert or
// remove bytes, some add a small number to each byte or to every fourth (a changed constant, a
// table of moved pointers), some change a byte here and there (instructions with a new field).
Bytes edited(const Bytes& source, std::mt19937& rng) {
  Bytes t = source;
  for (unsigned e = 1 + rng() % 200; e > 0; --e) {
    const std::size_t length = 1 + rng() % 64;
    const std::size_t at = rng() % (t.size() - length);
    const auto where = t.begin() + static_cast<std::ptrdiff_t>(at);
    const auto step = static_cast<std::uint8_t>(1 + rng() % 4);
    switch (rng() % 10) {
      case 0:
      case 1: {
        Bytes fresh(length);
        for (auto& b : fresh) b = static_cast<std::uint8_t>(rng());
        t.insert(where, fresh.begin(), fresh.end());
        break;
      }
      case 2:
      case 3: t.erase(where, where + static_cast<std::ptrdiff_t>(length)); break;
      case 4:
        for (std::size_t i = 0; i < length; ++i)
          t[at + i] = static_cast<std::uint8_t>(t[at + i] + step);
        break;
      case 5:
        for (std::size_t i = 3; i < length; i += 4)
          t[at + i] = static_cast<std::uint8_t>(t[at + i] + step);
        break;
      case 6:
      case 7:
        for (std::size_t i = 0; i < length; ++i) {
          if (rng() % 4 == 0) t[at + i] = static_cast<std::uint8_t>(rng());
        }
        break;
      default:
        for (std::size_t i = 0; i < length; ++i) t[at + i] = static_cast<std::uint8_t>(rng());
    }
  }
  return t;
}

std::pair<Bytes, Bytes> make_pair(const Pools& pools, std::size_t k) {
  std::mt19937 rng(static_cast<unsigned>(1000003 * k + 29));
  std::pair<Bytes, Bytes> p;
  p.first = original(pools, rng);
  p.second = edited(p.first, rng);
  return p;
}

struct Result {
  std::size_t ours = 0, greedy = 0, target = 0;
  double seconds = 0;
  bool applies = false;
};

Result measure(const Pools& pools, std::size_t k) {
  const auto [source, target] = make_pair(pools, k);
  Result r;
  r.target = target.size();
  const auto start = std::chrono::steady_clock::now();
  const Bytes patch = bpscore::make(source, target);
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.ours = patch.size();
  const auto c = bpscore::check(patch);
  if (c.ok()) {
    const auto a = bpscore::apply(patch, *c, source);
    r.applies = a.ok() && *a == target;
  }
  int min_length = 0;
  r.greedy = greedymaker::best(source, target, min_length).size();
  return r;
}

std::vector<Result> measure_all(const Pools& pools, std::size_t pairs, unsigned threads) {
  std::vector<Result> results(pairs);
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t k; (k = next++) < pairs;) results[k] = measure(pools, k);
  };
  std::vector<std::thread> workers;
  for (unsigned w = 1; w < threads; ++w) workers.emplace_back(work);
  work();
  for (auto& w : workers) w.join();
  return results;
}

int report(const std::vector<Result>& results) {
  std::size_t larger = 0, failed = 0, worst = 0, ours = 0, greedy = 0, bytes = 0;
  double seconds = 0;
  long long worst_excess = 0;
  for (std::size_t k = 0; k < results.size(); ++k) {
    const Result& r = results[k];
    if (!r.applies) ++failed;
    if (r.ours > r.greedy) {
      ++larger;
      const long long excess = static_cast<long long>(r.ours) - static_cast<long long>(r.greedy);
      if (excess > worst_excess) worst_excess = excess, worst = k;
    }
    ours += r.ours, greedy += r.greedy, bytes += r.target, seconds += r.seconds;
  }
  if (larger > 0) {
    std::printf("  larger:");
    for (std::size_t k = 0, shown = 0; k < results.size() && shown < 20; ++k) {
      if (results[k].ours > results[k].greedy) std::printf(" %zu", k), ++shown;
    }
    std::printf("\n");
  }
  std::printf("%zu small-edit pairs of 1-2 MiB:\n", results.size());
  std::printf("  ours larger than greedy: %zu pairs", larger);
  if (larger > 0) {
    std::printf("; the worst, pair %zu: %zu bytes against %zu", worst, results[worst].ours,
                results[worst].greedy);
  }
  std::printf("\n  total: ours %zu bytes, greedy %zu bytes, ours %+.2f %%\n", ours, greedy,
              100.0 * (static_cast<double>(ours) - static_cast<double>(greedy)) /
                  static_cast<double>(greedy));
  std::printf("  make: %.1f MB/s (one thread per pair)\n",
              static_cast<double>(bytes) / seconds / 1e6);
  if (failed > 0) std::printf("  %zu patches do not apply\n", failed);
  return failed > 0 ? 1 : 0;
}

bool write(const char* name, const Bytes& b) {
  std::ofstream out(name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  const Pools pools;
  if (argc == 5 && std::strcmp(argv[1], "--pair") == 0) {
    const auto p = make_pair(pools, std::strtoul(argv[2], nullptr, 10));
    return write(argv[3], p.first) && write(argv[4], p.second) ? 0 : 1;
  }
  if (argc > 3) {
    std::fputs("usage: bps_smalledit [pairs] [threads]\n", stderr);
    return 2;
  }
  const std::size_t pairs = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000;
  const unsigned threads = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10))
                                    : std::max(1u, std::thread::hardware_concurrency());
  return report(measure_all(pools, pairs, std::max(1u, threads)));
}
