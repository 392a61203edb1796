#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "common/console.hpp"
#include "common/files.hpp"
#include "unyaz/unyaz.hpp"
#include "yazcore/decode.hpp"

namespace fs = std::filesystem;

namespace unyaz {

using namespace yazcore;

namespace {

// The input is read in blocks of this size; only a Yay0 file, whose three streams lie apart,
// is read whole.
constexpr std::size_t kBlock = std::size_t{1} << 20;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr open_input(const std::string& name) {
  if (name.empty()) return nullptr;
  std::error_code ec;
  if (fs::is_directory(fs::path(name), ec)) return nullptr;
  return FilePtr(std::fopen(name.c_str(), "rb"));
}

// Reads up to `size` bytes into `to`; fewer only at the end of the file (or on a read error,
// which then counts as the end).
std::size_t read_block(std::FILE* in, std::uint8_t* to, std::size_t size) {
  return std::fread(to, 1, size, in);
}

// Decodes the Yaz0 token stream that starts at `start` in the file, reading the input block by
// block behind the decoder. `block` holds the first `have` bytes of the file.
Step stream_yaz0(std::FILE* in, Bytes& block, std::size_t have, bool eof, std::size_t start,
                 Output& out) {
  std::size_t pos = std::min(start, have);
  std::uint64_t base = 0;  // file offset of block[0]
  for (;;) {
    Step step = yaz0dec(ByteSpan(block.data() + pos, have - pos), eof, out);
    if (step.status != Status::need_input) {
      step.at += static_cast<std::size_t>(base + pos);
      return step;
    }
    // Keep the few bytes of the group not yet decoded and read on behind them.
    pos += step.consumed;
    const std::size_t rest = have - pos;
    std::memmove(block.data(), block.data() + pos, rest);
    base += pos;
    pos = 0;
    const std::size_t got = read_block(in, block.data() + rest, block.size() - rest);
    have = rest + got;
    eof = got < block.size() - rest;
  }
}

// Writes what was produced (all of it, or the bytes before a fault) and reports the outcome.
int finish(const std::string& in_name, files::AtomicFile& file, const Output* out, Status status,
           std::uint64_t at, std::uint64_t value, std::uint32_t size) {
  if (out != nullptr) file.write(out->data(), out->size());
  const bool written = file.commit();
  if (status == Status::short_read) {
    std::fputs("Error reading from file.\n", stderr);
  } else if (status != Status::done) {
    con::error_line(describe(in_name, status, at, value, size));
  }
  if (!written) con::error_line(file.target() + ": the output file could not be written");
  return status == Status::done && written ? 0 : kExitFailed;
}

int expand(const std::string& in_name, std::FILE* in, files::AtomicFile& file) {
  std::error_code ec;
  const std::uintmax_t stat_size = fs::file_size(fs::path(in_name), ec);
  const std::uint64_t file_size = ec ? 0 : stat_size;

  Bytes block(kBlock);
  std::size_t have = read_block(in, block.data(), block.size());
  bool eof = have < block.size();
  if (have < 4) return finish(in_name, file, nullptr, Status::short_read, have, 0, 0);

  const Layout layout = classify(ByteSpan(block.data(), have));
  if (layout == Layout::other) {
    std::fputs("\nNot a Yaz0 or Yay0 file.\nPress Spacebar to force it, otherwise to quit", stderr);
    // Refused: the output file is left as it was.
    if (con::read_key() != ' ') return kExitFailed;
  }
  if (layout == Layout::yay0) {
    while (!eof) {
      block.resize(have + kBlock);
      const std::size_t got = read_block(in, block.data() + have, kBlock);
      have += got;
      eof = got < kBlock;
    }
    block.resize(have);
  }

  const std::uint64_t known_size =
      layout == Layout::yay0 ? have : std::max<std::uint64_t>(file_size, have);
  const Header h = read_header(ByteSpan(block.data(), have), known_size, layout);
  if (h.status != Status::done)
    return finish(in_name, file, nullptr, h.status, h.at, h.value, h.size);

  Output out(h.size);
  if (!reserve_initial(out, known_size)) {
    return finish(in_name, file, nullptr, Status::no_memory, h.start, 0, h.size);
  }
  const Step step = layout == Layout::yay0
                        ? yay0dec(ByteSpan(block.data(), have), h.link, h.chunk, out)
                        : stream_yaz0(in, block, have, eof, h.start, out);
  return finish(in_name, file, &out, step.status, step.at, 0, h.size);
}

}  // namespace

int run(int argc, char** argv) {
  std::string in_name = argc > 1 ? argv[1] : "";
  FilePtr in = open_input(in_name);
  while (!in) {
    auto line = con::ask_line(stderr, "\nOpen which file? \n", "input file name");
    if (!line) return con::kExitEndOfInput;
    in_name = *line;
    in = open_input(in_name);
  }

  // The output never replaces the input: a name that names it is asked for again.
  std::string out_name = argc > 2 ? argv[2] : files::derive_output_name(in_name, " new.bin");
  files::AtomicFile file;
  while (files::same_target(in_name, out_name) || !file.open(out_name)) {
    auto line = con::ask_line(stderr, "\nOutput where? \n", "output file name");
    if (!line) return con::kExitEndOfInput;
    out_name = *line;
  }
  return expand(in_name, in.get(), file);
}

}  // namespace unyaz
