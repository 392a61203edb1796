// Writes a generated dump of the given size: make_dump <file> <MiB>.
#include <cstdio>
#include <cstdlib>

#include "bench/txt2msg/dumpgen.hpp"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: make_dump <file> <MiB>\n");
    return 2;
  }
  const std::string dump = generate_dump(std::strtoul(argv[2], nullptr, 10) << 20);
  std::FILE* f = std::fopen(argv[1], "wb");
  if (f == nullptr) return 1;
  std::fwrite(dump.data(), 1, dump.size(), f);
  return std::fclose(f) == 0 ? 0 : 1;
}
