// greyconv: uncompressed greyscale TGA images to raw N64 texels (IA 8-bit, IA 4-bit, I 4-bit).
//
// The image data is taken as one flat run of bytes in the order the file stores it: width, height
// and origin play no part in a conversion. Every routine works on the whole file held in memory; a
// byte read past the end of the file counts as 0xFF, so a step that runs past the counted data
// takes the footer's bytes or 0xFF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <vector>

#include "common/shell.hpp"

namespace greyconv {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

// Size of the TGA header and of the TGA 2.0 footer.
inline constexpr std::int64_t kHeaderSize = 18;
inline constexpr std::int64_t kFooterSize = 26;

// The most image data a conversion takes: the data size is a signed 32-bit count.
inline constexpr std::int64_t kMaxDataSize = 0x7FFFFFFF;

enum class Verdict {
  accepted,   // greyscale (or an untyped image) with at least one data byte
  refused,    // indexed, no image, RLE, colour-mapped or true colour: the report says why
  empty,      // the header is fine but no image data follows it
  too_short,  // the file ends before its header, ID field (and footer) are complete; a file
              // shorter than the 18-byte header gets no report at all
  too_large,  // more than kMaxDataSize bytes of image data
};

struct TgaCheck {
  Verdict verdict = Verdict::refused;
  // Image data bytes: file length - ID length - 18, less 26 more when the file ends in a footer.
  // Only meaningful (and then at least 1) when accepted.
  std::int64_t size = 0;
  bool footer = false;
};

// True when the file ends in a TGA 2.0 footer ("TRUEVISION-XFILE." and a NUL in its last 18 bytes).
bool has_footer(ByteSpan file);

// Reads the header of `file`, prints its report (or why it is refused) on `report`, and works out
// the size of the image data.
TgaCheck checkTGA(std::FILE* report, ByteSpan file);

// Offset of the first image data byte: 18 + the ID length.
std::int64_t position(ByteSpan file);

// Hands conversion output to its caller a piece at a time, so that a large image's output is
// never held whole.
using Sink = std::function<void(ByteSpan)>;

// The conversions. `size` is the data size from checkTGA; each walks the data from position()
// in steps of 2 or 4 bytes and makes one output byte per step (size / step, rounded up).
// Key 1: IA 8-bit. Key 2: IA 4-bit. Keys 3 and 4: I 4-bit from channel 1 (alpha) or 0 (intensity)
// of 16-bit pixels. Key 5: I 4-bit from 8-bit pixels.
void chewIA(ByteSpan file, std::int64_t size, const Sink& sink);
void chewIA4bit(ByteSpan file, std::int64_t size, const Sink& sink);
void chewI(ByteSpan file, std::int64_t size, int channel, const Sink& sink);
void diminish(ByteSpan file, std::int64_t size, const Sink& sink);

// Runs the conversion of a menu key ('1' to '5'); nothing for any other key.
void convert(ByteSpan file, std::int64_t size, int key, const Sink& sink);
// The same, whole. Empty for any other key.
Bytes convert(ByteSpan file, std::int64_t size, int key);

// The whole program: command line, dialogue on the console, output file. Returns the exit status.
int run(const shell::Args& args);

extern const shell::Program kProgram;

}  // namespace greyconv
