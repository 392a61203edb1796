// TGA images of texels, for greyconv and for image programs without PNG.
#pragma once

#include "base/result.hpp"
#include "texcore/format.hpp"
#include "texcore/image.hpp"

namespace texcore {

// The pixels as an uncompressed TGA image, rows from the top, without a footer: with `grey`, a
// greyscale image of 16 bits a pixel (intensity, then alpha; the red channel is the intensity),
// else true colour of 32 bits (blue, green, red, alpha). greyconv turns the greyscale image of I4,
// IA4 and IA8 texels back into the same texels (keys 4, 2 and 1), except texels that are
// transparent but keep an intensity, which it makes 0. Refused past 65535 pixels a side.
base::Result<Bytes> write_tga(const Image& image, bool grey);

}  // namespace texcore
