// Writes a generated SYLK table: make_table <file> <rows>.
#include <cstdio>
#include <cstdlib>

#include "bench/slk2msg/tablegen.hpp"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: make_table <file> <rows>\n");
    return 2;
  }
  const std::string table =
      generate_table(static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)));
  std::FILE* f = std::fopen(argv[1], "wb");
  if (f == nullptr) return 1;
  std::fwrite(table.data(), 1, table.size(), f);
  return std::fclose(f) == 0 ? 0 : 1;
}
