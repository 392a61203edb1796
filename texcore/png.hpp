// PNG files over zlib: the writer picks the smallest colour type that holds every pixel exactly,
// the reader takes every colour type and bit depth, interlaced or not, and is safe on any bytes.
#pragma once

#include <cstdint>

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

}  // namespace texcore
