// Writes a compressed benchmark file: unyaz_mkdata <mixed|zeros|random> <MiB> <yaz0|yay0> <file>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "data.hpp"
#include "yazcore/encode.hpp"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fputs("usage: unyaz_mkdata <mixed|zeros|random> <MiB> <yaz0|yay0> <file>\n", stderr);
    return 1;
  }
  const auto data = benchdata::make_data(argv[1], std::strtoul(argv[2], nullptr, 10) << 20);
  const auto format =
      std::string(argv[3]) == "yay0" ? yazcore::Format::yay0 : yazcore::Format::yaz0;
  const auto file = yazcore::encode(data, format, yazcore::Mode::classic);
  std::FILE* f = std::fopen(argv[4], "wb");
  if (f == nullptr || std::fwrite(file.data(), 1, file.size(), f) != file.size() ||
      std::fclose(f) != 0) {
    std::fprintf(stderr, "cannot write %s\n", argv[4]);
    return 1;
  }
  std::fprintf(stderr, "%s: %zu bytes -> %zu bytes (%.2f:1)\n", argv[4], data.size(), file.size(),
               static_cast<double>(data.size()) / static_cast<double>(file.size()));
  return 0;
}
