// PNG files over zlib: the writer picks the smallest colour type that holds every pixel exactly,
// the reader takes every colour type and bit depth, interlaced or not, and is safe on any bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "base/result.hpp"
#include "texcore/format.hpp"
#include "texcore/image.hpp"

namespace texcore {

enum class ColourType : std::uint8_t { grey = 0, rgb = 2, palette = 3, grey_alpha = 4, rgba = 6 };

struct PngLayout {
  ColourType type = ColourType::rgba;
  unsigned depth = 8;
  std::vector<Rgba> palette;  // the palette type's entries
};

// The layout of the fewest bits a pixel that holds every pixel exactly: opaque grey in 1, 2, 4 or
// 8 bits when every value is one of that depth's levels; a palette of 1 to 8 bits for at most 256
// colours (an indexed image keeps its own palette and indices); grey and alpha; RGB when opaque;
// RGBA. Of two of the same size, grey.
PngLayout choose_layout(const Image& image);

// An image's pixels a row at a time, from the top: an Image in memory, or texels decoded as each
// row is asked for (texcore/texture.hpp), so that no whole image need be held.
class PixelRows {
 public:
  virtual ~PixelRows() = default;
  unsigned width() const { return width_; }
  unsigned height() const { return height_; }
  // An indexed image's colours (at most 256); empty otherwise.
  const std::vector<Rgba>& palette() const { return palette_; }
  bool indexed() const { return !palette_.empty(); }
  // Row y's pixels: made in `scratch` (width() of them), or where they already lie.
  virtual const Rgba* pixels(unsigned y, Rgba* scratch) const = 0;
  // An indexed image's entries of row y, the same way.
  virtual const std::uint8_t* indices(unsigned y, std::uint8_t* scratch) const = 0;

 protected:
  // (Set by the kinds of rows; no constructor, so that a braced image is never taken for rows.)
  unsigned width_ = 0, height_ = 0;
  std::vector<Rgba> palette_;
};

// Images of up to 4 MiB of rows (every texture the console's texture memory holds) are deflated
// as small as zlib makes them; larger ones, such as a whole file browsed as one strip, quickly:
// each row as the difference from the row above, coded as bytes and runs, or stored where that
// does not halve it.
PngLayout choose_layout(const PixelRows& rows);
Bytes write_png(const PixelRows& rows);
Bytes write_png(const Image& image);

struct PngLimits {
  std::uint64_t max_pixels = kMaxPixels;
};

// Any PNG, as 8-bit RGBA: 16-bit samples are rounded to the nearest 8-bit value (and the pixel
// marked inexact), lower depths widened by repeating their bits. A palette image comes back
// indexed. Refused, in words that follow "NAME: ": a damaged file (a wrong CRC or signature, a
// chunk cut short, faulty or missing image data, no IEND), an unknown critical chunk, and an
// image of more than `limits.max_pixels` pixels.
base::Result<Image> read_png(ByteSpan file, const PngLimits& limits = {});

// Takes a PNG's pixels a row at a time, from the top, as read_png reads them.
class RowSink {
 public:
  virtual ~RowSink() = default;
  // Before the first row: the size, and an indexed image's colours (empty otherwise).
  virtual void begin(unsigned width, unsigned height, const std::vector<Rgba>& palette) = 0;
  // Row y: its pixels, an indexed image's entries (else nullptr), and one flag a pixel for those
  // rounded on the way in (nullptr when none was).
  virtual void row(unsigned y, const Rgba* pixels, const std::uint8_t* entries,
                   const std::uint8_t* inexact) = 0;
};

// The same, row by row into `sink` with no whole image held (but for an interlaced one). The
// rows a damaged file gave before its fault was found have been handed on all the same.
base::Done read_png(ByteSpan file, RowSink& sink, const PngLimits& limits = {});

}  // namespace texcore
