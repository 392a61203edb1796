// The benchmarks' made-up images:
//   romscan_mkimage blocks <MiB> <count> <file>   blocks of all three formats between random and
//                                                 code-like bytes, with a native header, in all
//                                                 but the last 1/16, which is zeros
//   romscan_mkimage fakes <MiB> <file>            random bytes, a header that is no block at every
//                                                 16th byte
//   romscan_mkimage padding <MiB> <file>        FF bytes with a Yaz0 header at every 36th byte,
//                                                 each decoding to the image's end
//   romscan_mkimage yay0|mio0 <MiB> <file>       headers whose mask words are the headers after
//                                                 them, over shared link and chunk tables
//   romscan_mkimage edit <file>...                cuts the last byte off each file (the smaller
//                                                 file still fits its block's slot)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/scancore/planted.hpp"

namespace {

bool write(const char* name, const planted::Bytes& b) {
  std::FILE* f = std::fopen(name, "wb");
  const bool ok = f != nullptr && std::fwrite(b.data(), 1, b.size(), f) == b.size();
  return f != nullptr && std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "";
  std::mt19937 rng(2024);
  if (what == "blocks" && argc == 5) {
    const std::size_t size = std::strtoul(argv[2], nullptr, 10) << 20;
    planted::Image image =
        planted::plant(rng, size - size / 16, std::strtoul(argv[3], nullptr, 10));
    image.bytes.resize(size, 0);
    return write(argv[4], image.bytes) ? 0 : 1;
  }
  if (what == "fakes" && argc == 4) {
    return write(argv[3], planted::fake_headers(rng, std::strtoul(argv[2], nullptr, 10) << 20)) ? 0
                                                                                                : 1;
  }
  if ((what == "padding" || what == "yay0" || what == "mio0") && argc == 4) {
    const std::size_t size = std::strtoul(argv[2], nullptr, 10) << 20;
    const planted::Bytes image =
        what == "padding" ? planted::yaz0_padding(size)
                          : planted::shared_tables(size, what == "yay0" ? scancore::Format::yay0
                                                                        : scancore::Format::mio0);
    return write(argv[3], image) ? 0 : 1;
  }
  if (what == "edit") {
    for (int i = 2; i < argc; ++i) {
      std::error_code ec;
      const auto size = std::filesystem::file_size(argv[i], ec);
      if (ec || size < 2) return 1;
      std::filesystem::resize_file(argv[i], size - 1, ec);
      if (ec) return 1;
    }
    return 0;
  }
  std::fputs(
      "usage: romscan_mkimage blocks <MiB> <count> <file> | fakes|padding|yay0|mio0 <MiB> <file> |"
      " edit <file>...\n",
      stderr);
  return 2;
}
