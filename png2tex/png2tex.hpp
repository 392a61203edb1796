// png2tex: a PNG image back into N64 texels, the inverse of tex2png.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/shell.hpp"
#include "texapp/switches.hpp"
#include "texcore/texture.hpp"

namespace png2tex {

// The format, the palette to index into (ci4, ci8) and the first problem: texapp::TexelSwitches.
struct Options : texapp::TexelSwitches {
  std::optional<std::string> palette_out;  // where the palette goes
  bool swap_rows = false;                  // lay the rows out for texture memory
  std::optional<std::string> input;
  std::optional<std::string> output;
};

Options parse_arguments(const std::vector<std::string>& args);

int run(const shell::Args& args);

extern const shell::Program kProgram;

}  // namespace png2tex
