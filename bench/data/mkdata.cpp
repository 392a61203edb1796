// Writes a benchmark data file: bench_mkdata <mixed|zeros|random> <MiB> <file>
#include <cstdio>
#include <cstdlib>

#include "data.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: bench_mkdata <mixed|zeros|random> <MiB> <file>\n", stderr);
    return 1;
  }
  const auto data = benchdata::make_data(argv[1], std::strtoul(argv[2], nullptr, 10) << 20);
  std::FILE* f = std::fopen(argv[3], "wb");
  if (f == nullptr || std::fwrite(data.data(), 1, data.size(), f) != data.size() ||
      std::fclose(f) != 0) {
    std::fprintf(stderr, "cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
