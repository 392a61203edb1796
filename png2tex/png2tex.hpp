// png2tex: a PNG image back into N64 texels, the inverse of tex2png.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/shell.hpp"
#include "texcore/texture.hpp"

namespace png2tex {

struct Options {
  std::optional<texcore::Format> format;
  std::optional<texcore::PaletteSource> palette;  // ci4 and ci8: index into this palette
  texcore::PaletteFormat palette_format = texcore::PaletteFormat::rgba16;
  std::optional<std::string> palette_out;  // where the palette goes
  bool swap_rows = false;                  // lay the rows out for texture memory
  std::optional<std::string> input;
  std::optional<std::string> output;
  std::string problem;  // a line for the user when the arguments cannot be used
};

Options parse_arguments(const std::vector<std::string>& args);

int run(const shell::Args& args);

extern const shell::Program kProgram;

}  // namespace png2tex
