// The comparator for the bps benchmark (see greedy.hpp):
//   bps_greedy <original> <modified> <patch>
// prints the patch's size and the minimum length that made it, and checks that it applies.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "bpscore/patch.hpp"
#include "greedy.hpp"

namespace {

using greedymaker::Bytes;

Bytes read(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: bps_greedy <original> <modified> <patch>\n", stderr);
    return 2;
  }
  const Bytes source = read(argv[1]);
  const Bytes target = read(argv[2]);
  int best_min = 0;
  const Bytes best = greedymaker::best(source, target, best_min);
  const auto c = bpscore::check(best);
  if (!c.ok() || *bpscore::apply(best, *c, source) != target) {
    std::fputs("bps_greedy: the comparator's patch does not apply\n", stderr);
    return 1;
  }
  std::ofstream(argv[3], std::ios::binary)
      .write(reinterpret_cast<const char*>(best.data()), static_cast<std::streamsize>(best.size()));
  std::printf("%zu %d\n", best.size(), best_min);
  return 0;
}
