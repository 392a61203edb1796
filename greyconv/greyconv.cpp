#include "greyconv/greyconv.hpp"

#include <optional>
#include <string>

#include "common/console.hpp"
#include "common/dialog.hpp"
#include "common/files.hpp"
#include "common/outcome.hpp"

namespace greyconv {
namespace {

using greycore::TgaCheck;
using greycore::Verdict;

constexpr const char* kUsage =
    "Usage: greyconv [IMAGE.tga]\n"
    "Converts an uncompressed greyscale TGA image into raw N64 texels (no header). After the\n"
    "image's report, one key chooses the output:\n"
    "  1  IA 8-bit            (16-bit grey and alpha pixels)\n"
    "  2  IA 4-bit            (16-bit pixels)\n"
    "  3  I 4-bit from alpha  (16-bit pixels)\n"
    "  4  I 4-bit from grey   (16-bit pixels)\n"
    "  5  I 4-bit             (8-bit grey pixels)\n"
    "  space  quit without writing\n"
    "\n"
    "  IMAGE.tga   asked for when missing or unreadable\n"
    "  -h, -?, /?, --help   this text;  --version   the version\n"
    "\n"
    "The output is IMAGE cut at the first dot of its file name, plus \".bin\" (tex/wood.tga\n"
    "gives tex/wood.bin); it is asked for when that cannot be written or names the input.\n"
    "From a pipe, a key is the next byte of standard input.\n"
    "Exit status: 0 converted, or quit at the menu; 1 the image refused or the output not\n"
    "written; 2 input ended at the menu or a prompt, or an unknown --option.\n";

constexpr const char* kBanner =
    "Greyscale Converter\n"
    "1\tIA 8bit output\n"
    "2\tIA 4bit output\n"
    "3\tI 4bit (read alpha)\n"
    "4\tI 4bit (read color)\n"
    "5\tI 4bit output from 8bit I input\n"
    "Press \"spacebar\" to quit.\n";

// Why an image that is not accepted is refused, for the line after its name; empty for a refused
// type, which the report names.
std::string refusal(const TgaCheck& check) {
  switch (check.verdict) {
    case Verdict::accepted:
    case Verdict::refused: return "";
    case Verdict::empty: return "no image data follows the TGA header";
    case Verdict::too_short: return "the file is too short to be a TGA image";
    case Verdict::too_large:
      return "the image data is " + std::to_string(check.size) +
             " bytes, more than the 2 GiB that can be converted";
  }
  return "";
}

// Shows the menu until one of '1' to '5' or space is pressed. EOF at the end of input.
int menu_choice(const std::string& screen) {
  for (;;) {
    con::clear_screen();
    std::fputs(screen.c_str(), stdout);
    const int key = con::read_key();
    if (key == EOF || key == ' ' || (key >= '1' && key <= '5')) return key;
  }
}

}  // namespace

std::optional<greycore::Texels> texels_for_key(int key) {
  if (key < '1' || key > '5') return std::nullopt;
  return greycore::kAllTexels[key - '1'];
}

std::string menu_screen(const std::string& report, const std::string& warning, bool terminal) {
  if (!terminal) return kBanner;
  std::string screen = report + "\n";
  if (!warning.empty()) screen += "\n" + warning + "\n";
  return screen + "\n" + kBanner;
}

int run(const shell::Args& args) {
  std::string name = args.empty() ? "" : args[0];
  shell::set_subject(name);
  files::InputFile file;
  if (auto status =
          dialog::open_input(file, name, {stdout, "\nconvert what file? ", "file name"})) {
    return *status;
  }

  const TgaCheck check = greycore::checkTGA(file);
  // The report ends its line, so that what follows (the menu, when the screen is not cleared)
  // starts on a line of its own.
  if (!check.report.empty()) std::printf("%s\n", check.report.c_str());
  if (const std::string why = refusal(check); check.verdict != Verdict::accepted) {
    std::fflush(stdout);
    // A refused image type is told by the report itself.
    if (!why.empty()) con::error_line(name + ": " + why);
    return exit_status::kFailed;
  }

  const std::string warning = greycore::size_warning(name, check);
  if (!warning.empty()) {
    std::fflush(stdout);
    std::fprintf(stderr, "\n%s\n", warning.c_str());
    std::fflush(stderr);
  }

  // A clear on a terminal wipes the report (and the warning, when it went there too): the menu
  // shows them again.
  const int key = menu_choice(menu_screen(check.report, con::stderr_is_terminal() ? warning : "",
                                          con::stdout_is_terminal()));
  if (key == ' ') return exit_status::kDone;
  if (key == EOF) {
    con::error_line("input ended before a conversion was chosen");
    return exit_status::kEndOfInput;
  }
  const greycore::Texels texels = *texels_for_key(key);

  // The output never replaces the input: a name that names it is asked for again.
  const std::vector<std::string> inputs = {name};
  files::AtomicFile out;
  auto where =
      dialog::OutputDialog::replacing(stdout, "\nput it where? ", "name for the output file");
  where.drop_pending_line = true;  // the rest of the line the menu key was on
  const auto chosen =
      dialog::choose_output(files::derive_output_name(name, ".bin"), inputs, where, &out);
  if (!chosen) return exit_status::kEndOfInput;
  const std::string& out_name = *chosen;

  greycore::convert(file, check.size, texels,
                    [&out](greycore::ByteSpan piece) { out.write(piece.data(), piece.size()); });
  if (const int status = outcome::finish(out, {{file, name}})) return status;
  std::printf("\n\nAll done!  Output is in:\n%s\n", out_name.c_str());
  con::pause();
  return exit_status::kDone;
}

const shell::Program kProgram{.name = "greyconv", .usage = kUsage, .run = run};

}  // namespace greyconv
