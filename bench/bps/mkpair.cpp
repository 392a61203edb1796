// Writes a pair of ROM-like images for the bps benchmark (see pair.hpp):
//   bps_mkpair <MiB> <original> <modified>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "pair.hpp"

namespace {

bool write(const char* name, const benchpair::Bytes& b) {
  std::ofstream out(name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: bps_mkpair <MiB> <original> <modified>\n", stderr);
    return 2;
  }
  const auto pair = benchpair::make_pair(std::strtoul(argv[1], nullptr, 10) << 20);
  return write(argv[2], pair.first) && write(argv[3], pair.second) ? 0 : 1;
}
