// The program's run: names, questions, the block copy and the extension.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "common/console.hpp"
#include "common/files.hpp"
#include "romext/romext.hpp"

namespace romext {
namespace {

// The input image, open for reading, with its length taken once.
class Image {
 public:
  Image() = default;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  ~Image() { close(); }

  // Opens `name` when it is a regular file that can be read; false otherwise (a folder, a device,
  // a missing file).
  bool open(const std::string& name) {
    close();
    std::error_code ec;
    const std::filesystem::path path(name);
    if (name.empty() || !std::filesystem::is_regular_file(path, ec)) return false;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) return false;
    file_ = std::fopen(name.c_str(), "rb");
    if (file_ == nullptr) return false;
    // The copy reads in large blocks straight into its own buffer.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    length_ = size;
    return true;
  }

  void close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
  }

  std::FILE* file() const { return file_; }
  std::uint64_t length() const { return length_; }

 private:
  std::FILE* file_ = nullptr;
  std::uint64_t length_ = 0;
};

void say(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

bool is_yes(int answer) { return answer == 'Y' || answer == 'y'; }

// Opens the output `name` unless it names the input image.
bool open_output(files::AtomicFile& out, const std::string& name, const std::string& input) {
  if (files::same_target(name, input)) {
    con::error_line(name + ": that is the input image; give another name for the output");
    return false;
  }
  return out.open(name);
}

// Reads the first four bytes (fewer for a shorter image) and goes back to the start.
std::vector<std::uint8_t> read_head(std::FILE* in) {
  std::vector<std::uint8_t> head(4);
  head.resize(std::fread(head.data(), 1, head.size(), in));
  std::fseek(in, 0, SEEK_SET);
  std::clearerr(in);
  return head;
}

enum class CopyResult { done, read_failed, write_failed };

// Copies `length` bytes of `in` to `out` in large blocks, straightening each in memory. The last
// group of an image whose length is not a multiple of 4 is padded with 0x00 before it is
// straightened, so the output holds whole groups.
CopyResult copy_image(std::FILE* in, std::uint64_t length, CopyMode mode, files::AtomicFile& out) {
  std::vector<std::uint8_t> block(
      static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, rounded_to_groups(length))));
  std::uint64_t left = length;
  while (left > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
    if (std::fread(block.data(), 1, want, in) != want) return CopyResult::read_failed;
    const std::size_t whole = static_cast<std::size_t>(rounded_to_groups(want));
    std::fill(block.begin() + static_cast<std::ptrdiff_t>(want),
              block.begin() + static_cast<std::ptrdiff_t>(whole), std::uint8_t{0});
    straighten(std::span<std::uint8_t>(block.data(), whole), mode);
    if (!out.write(block.data(), whole)) return CopyResult::write_failed;
    left -= want;
  }
  return CopyResult::done;
}

}  // namespace

int run(const std::vector<std::string>& args) {
  std::string name = args.empty() ? std::string() : args.back();

  Image image;
  while (!image.open(name)) {
    auto line = con::ask_line(stdout, kInputPrompt, "ROM image name");
    if (!line) return con::kExitEndOfInput;
    name = *line;
  }
  const std::string input_name = name;
  if (image.length() > kMaxImageLength) {
    con::error_line(input_name + ": the image is " + std::to_string(image.length()) +
                    " bytes long; only images smaller than 4 GiB can be handled");
    return 1;
  }
  const auto length = static_cast<std::uint32_t>(image.length());

  name = files::derive_output_name(name, kOutputEnding);
  files::AtomicFile out;
  while (!open_output(out, name, input_name)) {
    auto line = con::ask_line(stdout, kOutputPrompt, "name for the output file");
    if (!line) return con::kExitEndOfInput;
    name = *line;
  }
  // Blocks go to the file whole, without passing through a stream buffer.
  std::setvbuf(out.stream(), nullptr, _IONBF, 0);

  const ByteOrder order = detect_order(read_head(image.file()));
  CopyMode mode = CopyMode::unchanged;
  if (const std::string question = order_question(order); !question.empty()) {
    say(question);
    // Only the first character of the answer counts; the rest of its line is dropped below.
    if (is_yes(con::read_char())) mode = straightening_mode(order);
  }

  say(kCopying);
  std::fflush(stdout);
  switch (copy_image(image.file(), length, mode, out)) {
    case CopyResult::done: break;
    case CopyResult::read_failed:
      con::error_line(input_name + ": cannot be read to its end; nothing was written");
      return 1;
    case CopyResult::write_failed:
      con::error_line(name + ": cannot be written (is the disk full?); nothing was written");
      return 1;
  }
  con::discard_pending_input();
  std::fflush(out.stream());

  say(extension_question(length));
  if (is_yes(con::read_char())) {
    say(kExtending);
    std::fflush(stdout);
    // The output grows by the copied length, which doubles it.
    out.write_zeros(rounded_to_groups(length));
  }

  image.close();
  if (!out.commit()) {
    con::error_line(name + ": cannot be written (is the disk full?); nothing was written");
    return 1;
  }
  say(done_message(name));
  con::discard_pending_input();
  con::read_char();
  return 0;
}

int run(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return run(args);
}

}  // namespace romext
