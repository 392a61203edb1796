// A texture as the programs name it: a format, a width, and where in a file its texels begin;
// and what their switches and lists hold (numbers, palette names).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.hpp"
#include "texcore/codec.hpp"
#include "texcore/png.hpp"

namespace texcore {

struct Texture {
  Format format = Format::i4;
  unsigned width = 0;
  std::optional<unsigned> height;  // none: every whole row to the end of the file
  std::uint64_t offset = 0;
};

struct Layout {
  bool swap_rows = false;  // the odd rows hold their words swapped, as in texture memory
};

// The texture's texels out of `file`, as an image. Refused with one line: an offset past the end,
// fewer bytes than the texture needs (or not one whole row), more than kMaxPixels texels, 4-bit
// texels that would end in half a byte, and what decode() refuses.
base::Result<Image> cut_texture(ByteSpan file, const Texture& texture, const Layout& layout,
                                const DecodeOptions& options);

// The same texture as rows of pixels, each decoded when it is asked for (the texels stay in
// `file`, which must outlive the rows): for writing a PNG without the whole image in memory.
// Refused as cut_texture is.
base::Result<std::unique_ptr<PixelRows>> texture_rows(ByteSpan file, const Texture& texture,
                                                      const Layout& layout,
                                                      const DecodeOptions& options);

// The image as texels of `format` in the layout: encode(), and the rows swapped when asked.
base::Result<Encoded> texels_of(const Image& image, Format format, const Layout& layout,
                                const EncodeOptions& options);

// A PNG image as texels of `format` in the layout: read_png, then texels_of, but each row encoded
// as it is read, without the whole image held (but where the palette is made from the image's
// colours, which needs all of them first).
struct PngTexels {
  base::Done read;                                   // refused: what read_png refuses
  base::Result<Encoded> encoded = base::refuse("");  // when read: the texels, or why not
  unsigned width = 0;
  unsigned height = 0;
};
PngTexels png_texels(ByteSpan png, Format format, const Layout& layout,
                     const EncodeOptions& options);

// "FILE" or "FILE@OFFSET" (an '@' followed by a number; else the '@' is part of the name).
struct PaletteSource {
  std::string file;
  std::uint64_t offset = 0;
};
PaletteSource parse_palette_source(std::string_view text);

std::optional<PaletteFormat> parse_palette_format(std::string_view name);
const char* palette_format_name(PaletteFormat format);

}  // namespace texcore
