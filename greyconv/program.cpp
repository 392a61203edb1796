#include <optional>
#include <string>

#include "common/console.hpp"
#include "common/files.hpp"
#include "common/input_dialog.hpp"
#include "greyconv/greyconv.hpp"

namespace greyconv {
namespace {

constexpr const char* kBanner =
    "Greyscale Converter\n"
    "1\tIA 8bit output\n"
    "2\tIA 4bit output\n"
    "3\tI 4bit (read alpha)\n"
    "4\tI 4bit (read color)\n"
    "5\tI 4bit output from 8bit I input\n"
    "Press \"spacebar\" to quit.\n";

// Shows the menu until one of '1' to '5' or space is pressed. EOF at the end of input.
int menu_choice() {
  for (;;) {
    con::clear_screen();
    std::fputs(kBanner, stdout);
    const int key = con::read_key();
    if (key == EOF || key == ' ' || (key >= '1' && key <= '5')) return key;
  }
}

}  // namespace

int run(int argc, char** argv) {
  std::string name = argc > 1 ? argv[1] : "";
  return con::run_guarded(name, [&]() {
    files::InputFile file;
    if (auto status =
            dialog::open_input(file, name, {stdout, "\nconvert what file? ", "file name"})) {
      return *status;
    }

    const TgaCheck check = checkTGA(stdout, file);
    switch (check.verdict) {
      case Verdict::accepted: break;
      case Verdict::refused: std::fflush(stdout); return 1;
      case Verdict::empty:
        con::error_line(name + ": no image data follows the TGA header");
        return 1;
      case Verdict::too_short:
        con::error_line(name + ": the file is too short to be a TGA image");
        return 1;
      case Verdict::too_large:
        con::error_line(name + ": the image data is " + std::to_string(check.size) +
                        " bytes, more than the 2 GiB that can be converted");
        return 1;
    }

    const int key = menu_choice();
    if (key == ' ') return 0;
    if (key == EOF) {
      con::error_line("input ended before a conversion was chosen");
      return con::kExitEndOfInput;
    }

    // The output never replaces the input: a name that names it is asked for again.
    std::string out_name = files::derive_output_name(name, ".bin");
    files::AtomicFile out;
    bool asked = false;
    while (files::same_target(out_name, name) || !out.open(out_name)) {
      if (!asked) con::discard_pending_input();  // the rest of the line the menu key was on
      asked = true;
      auto line = con::ask_line(stdout, "\nput it where? ", "name for the output file");
      if (!line) return con::kExitEndOfInput;
      out_name = std::move(*line);
    }

    convert(file, check.size, key,
            [&out](ByteSpan piece) { out.write(piece.data(), piece.size()); });
    if (file.cut_short()) {
      out.discard();
      con::error_line(name + ": " + files::kCutShort);
      return 1;
    }
    if (!out.commit()) {
      con::error_line(out_name + ": could not be written");
      return 1;
    }
    std::printf("\n\nAll done!  Output is in:\n%s\n", out_name.c_str());
    con::pause();
    return 0;
  });
}

}  // namespace greyconv
