// tex2png: N64 texels out of any file (a ROM, an expanded block, a texel file) as PNG or TGA
// images, one texture or a list of them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.hpp"
#include "common/shell.hpp"
#include "texapp/switches.hpp"
#include "texcore/texture.hpp"

namespace tex2png {

// The format, the palette and the first problem: texapp::TexelSwitches.
struct Options : texapp::TexelSwitches {
  std::optional<unsigned> width;
  std::optional<unsigned> height;
  std::optional<std::uint64_t> offset;
  bool opaque = false;     // I4 and I8: alpha 255 instead of the intensity
  bool swap_rows = false;  // undo texture memory's word swap of the odd rows
  bool tga = false;        // TGA instead of PNG
  std::optional<std::string> list;
  std::optional<std::string> input;
  std::optional<std::string> output;
};

Options parse_arguments(const std::vector<std::string>& args);

// One row of a list: offset, format, width, height (empty or "-": to the end of the input) and
// the output's name, separated by tabs.
struct ListRow {
  texcore::Texture texture;
  std::string output;
};
base::Result<ListRow> parse_list_row(std::string_view line);

// The image file of one texture: PNG (made a row at a time), or TGA with `tga` (greyscale for
// the I and IA formats); refused as texcore::cut_texture refuses.
struct ImageFile {
  texcore::Bytes bytes;
  unsigned width = 0;
  unsigned height = 0;
};
base::Result<ImageFile> image_file(texcore::ByteSpan file, const texcore::Texture& texture,
                                   const texcore::Layout& layout,
                                   const texcore::DecodeOptions& options, bool tga);

int run(const shell::Args& args);

extern const shell::Program kProgram;

}  // namespace tex2png
