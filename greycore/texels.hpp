// The greyscale conversions: raw N64 texels (IA 8-bit, IA 4-bit, I 4-bit) from the image data of
// a TGA file (greycore/tga.hpp). Every routine works on the whole file held in memory; a byte read
// past the end of the file counts as 0xFF, so a step that runs past the counted data takes the
// bytes that follow it (an extension area, the footer) or 0xFF.
#pragma once

#include <cstdint>
#include <functional>

#include "greycore/tga.hpp"

namespace greycore {

// Hands conversion output to its caller a piece at a time, so that a large image's output is
// never held whole.
using Sink = std::function<void(ByteSpan)>;

// The texels a conversion makes, in the order the converter's menu offers them.
enum class Texels {
  ia8,          // IA 8-bit from 16-bit grey and alpha pixels
  ia4,          // IA 4-bit from 16-bit pixels
  i4_of_alpha,  // I 4-bit from the alpha byte of 16-bit pixels
  i4_of_grey,   // I 4-bit from the grey byte of 16-bit pixels
  i4_of_grey8,  // I 4-bit from 8-bit grey pixels
};
inline constexpr Texels kAllTexels[] = {Texels::ia8, Texels::ia4, Texels::i4_of_alpha,
                                        Texels::i4_of_grey, Texels::i4_of_grey8};

// The conversions. `size` is the data size from checkTGA; each walks the data from position()
// in steps of 2 or 4 bytes and makes one output byte per step (size / step, rounded up).
void chewIA(ByteSpan file, std::int64_t size, const Sink& sink);
void chewIA4bit(ByteSpan file, std::int64_t size, const Sink& sink);
void chewI(ByteSpan file, std::int64_t size, int channel, const Sink& sink);
void diminish(ByteSpan file, std::int64_t size, const Sink& sink);

void convert(ByteSpan file, std::int64_t size, Texels texels, const Sink& sink);
// The same, whole.
Bytes convert(ByteSpan file, std::int64_t size, Texels texels);

}  // namespace greycore
