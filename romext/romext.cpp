// romext: copies an N64 ROM image, on request straightening its byte order and doubling it.
#include "romext/romext.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/console.hpp"
#include "common/dialog.hpp"
#include "common/files.hpp"
#include "common/outcome.hpp"

namespace romext {
namespace {

constexpr const char* kUsage =
    "Usage: romext [IMAGE]\n"
    "Copies an N64 ROM image; on request puts a byte-swapped image (.v64: 16-bit swapped,\n"
    "or 32-bit swapped) back into native order, and on request doubles its size with zeros.\n"
    "\n"
    "  IMAGE   the ROM image (the last argument counts); asked for when missing or unreadable\n"
    "  -h, -?, /?, --help   this text;  --version   the version\n"
    "\n"
    "The output is IMAGE cut at the first dot of its file name, plus \"-ext.n64\"\n"
    "(roms/game.v64 gives roms/game-ext.n64); it is asked for when that cannot be written or\n"
    "names the input. Questions take the first character of an answer line (Y or y: yes); from\n"
    "a script, one answer per line: printf 'y\\nn\\n\\n' | romext game.v64\n"
    "Exit status: 0 written; 1 the image refused (4 GiB or more), unreadable, or the output not\n"
    "written; 2 input ended at a prompt, or an unknown --option.\n";

std::string format_int_pair(const char* format, unsigned a, unsigned b) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

void say(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

bool is_yes(int answer) { return answer == 'Y' || answer == 'y'; }

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

std::uint32_t megabits(std::uint32_t length) { return length >> 17; }

std::string order_question(ByteOrder order) {
  const char* bits = order == ByteOrder::swapped16   ? "16"
                     : order == ByteOrder::swapped32 ? "32"
                                                     : nullptr;
  if (bits == nullptr) return {};
  return std::string("\a\nThe bugger is ") + bits +
         "bit byteswapped.\nShould I straighten it out? (Y/N)\t";
}

std::string extension_question(std::uint32_t length) {
  const std::uint32_t size = megabits(length);
  // Both figures fit easily: a 32-bit length is at most 32767 megabits.
  if (size > 256) {
    return format_int_pair(
        "\a\n512Mb is the normal maximum rom size.\nDo you want to kick it up from %uMb to %uMb? "
        "(Y/N)\t",
        size, size * 2);
  }
  return format_int_pair("\a\nShould I extend the rom from %uMb to %uMb? (Y/N)\t", size, size * 2);
}

std::string done_message(const std::string& output_name) {
  return "\a\nAll done.  The extended rom is at:\n\t" + output_name + "\nPress -Enter- to quit.";
}

int run(const shell::Args& args) {
  std::string name = args.empty() ? std::string() : args.back();
  shell::set_subject(name);
  files::InputFile image;
  if (auto status = dialog::open_input(image, name, {stdout, kInputPrompt, "ROM image name"})) {
    return *status;
  }
  const std::string input_name = name;
  const std::span<const std::uint8_t> bytes = image.bytes();
  if (bytes.size() > kMaxImageLength) {
    con::error_line(input_name + ": the image is " + std::to_string(bytes.size()) +
                    " bytes long; only images smaller than 4 GiB can be handled");
    return exit_status::kFailed;
  }
  const auto length = static_cast<std::uint32_t>(bytes.size());

  const std::vector<std::string> inputs = {input_name};
  files::AtomicFile out;
  auto where = dialog::OutputDialog::replacing(stdout, kOutputPrompt, "name for the output file");
  where.names_an_input = "that is the input image; give another name for the output";
  const auto chosen = dialog::choose_output(files::derive_output_name(input_name, kOutputEnding),
                                            inputs, where, &out);
  if (!chosen) return exit_status::kEndOfInput;
  const std::string& out_name = *chosen;
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
  if (!outcome::inputs_whole({{image, input_name}})) {
    out.discard();
    return exit_status::kFailed;
  }
  if (copied == CopyResult::write_failed) {
    out.discard();
    outcome::say_not_written(out_name, out.why());
    return exit_status::kFailed;
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

  // The copy was found whole before the question: a change to the image since is not in it.
  if (const int status = outcome::finish(out, {})) return status;
  say(done_message(out_name));
  con::discard_pending_input();
  con::read_char();
  return exit_status::kDone;
}

const shell::Program kProgram{.name = "romext", .usage = kUsage, .run = run};

}  // namespace romext
