// The program's run: names, questions, the block copy and the extension.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/console.hpp"
#include "common/files.hpp"
#include "common/input_dialog.hpp"
#include "romext/romext.hpp"

namespace romext {
namespace {

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

enum class CopyResult { done, write_failed };

// Copies `image` to `out` in large blocks, straightening each in memory. The last group of an
// image whose length is not a multiple of 4 is padded with 0x00 before it is straightened, so the
// output holds whole groups.
CopyResult copy_image(std::span<const std::uint8_t> image, CopyMode mode, files::AtomicFile& out) {
  std::vector<std::uint8_t> block(static_cast<std::size_t>(
      std::min<std::uint64_t>(kBlockSize, rounded_to_groups(image.size()))));
  for (std::size_t at = 0; at < image.size();) {
    const std::size_t want = std::min(image.size() - at, block.size());
    std::memcpy(block.data(), image.data() + at, want);
    const std::size_t whole = static_cast<std::size_t>(rounded_to_groups(want));
    std::fill(block.begin() + static_cast<std::ptrdiff_t>(want),
              block.begin() + static_cast<std::ptrdiff_t>(whole), std::uint8_t{0});
    straighten(std::span<std::uint8_t>(block.data(), whole), mode);
    if (!out.write(block.data(), whole)) return CopyResult::write_failed;
    at += want;
  }
  return CopyResult::done;
}

}  // namespace

int run(const std::vector<std::string>& args) {
  std::string name = args.empty() ? std::string() : args.back();
  return con::run_guarded(name, [&]() {
    files::InputFile image;
    if (auto status = dialog::open_input(image, name, {stdout, kInputPrompt, "ROM image name"})) {
      return *status;
    }
    const std::string input_name = name;
    const std::span<const std::uint8_t> bytes = image.bytes();
    if (bytes.size() > kMaxImageLength) {
      con::error_line(input_name + ": the image is " + std::to_string(bytes.size()) +
                      " bytes long; only images smaller than 4 GiB can be handled");
      return 1;
    }
    const auto length = static_cast<std::uint32_t>(bytes.size());

    // `name` stays the input's: a line about memory running out names it.
    std::string out_name = files::derive_output_name(input_name, kOutputEnding);
    files::AtomicFile out;
    while (!open_output(out, out_name, input_name)) {
      auto line = con::ask_line(stdout, kOutputPrompt, "name for the output file");
      if (!line) return con::kExitEndOfInput;
      out_name = *line;
    }
    // Blocks go to the file whole, without passing through a stream buffer.
    std::setvbuf(out.stream(), nullptr, _IONBF, 0);

    const ByteOrder order = detect_order(bytes);
    CopyMode mode = CopyMode::unchanged;
    if (const std::string question = order_question(order); !question.empty()) {
      say(question);
      // Only the first character of the answer counts; the rest of its line is dropped below.
      if (is_yes(con::read_char())) mode = straightening_mode(order);
    }

    say(kCopying);
    std::fflush(stdout);
    const CopyResult copied = copy_image(bytes, mode, out);
    if (image.cut_short()) {
      out.discard();
      con::error_line(input_name + ": " + files::kCutShort);
      return 1;
    }
    if (copied == CopyResult::write_failed) {
      con::error_line(out_name + ": cannot be written (is the disk full?); nothing was written");
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

    if (!out.commit()) {
      con::error_line(out_name + ": cannot be written (is the disk full?); nothing was written");
      return 1;
    }
    say(done_message(out_name));
    con::discard_pending_input();
    con::read_char();
    return 0;
  });
}

int run(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return run(args);
}

}  // namespace romext
