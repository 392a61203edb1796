// greyconv: uncompressed greyscale TGA images to raw N64 texels (IA 8-bit, IA 4-bit, I 4-bit),
// chosen at a menu.
#pragma once

#include <optional>
#include <string>

#include "common/shell.hpp"
#include "greycore/texels.hpp"

namespace greyconv {

// The conversion of a menu key ('1' to '5', in the order of greycore::kAllTexels).
std::optional<greycore::Texels> texels_for_key(int key);

// The text shown after each screen clear of the menu: the banner, and on a terminal, where the
// clear has wiped them, the header report and `warning` (when not empty) before it.
std::string menu_screen(const std::string& report, const std::string& warning, bool terminal);

// The whole program: command line, dialogue on the console, output file. Returns the exit status.
int run(const shell::Args& args);

extern const shell::Program kProgram;

}  // namespace greyconv
