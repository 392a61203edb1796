// The TGA header reader of the greyscale conversions: which images are taken, and how much image
// data they hold.
//
// The image data is taken as one flat run of bytes in the order the file stores it: width, height
// and origin play no part in a conversion (a data size that differs from the header's only gets a
// warning). A byte read past the end of the file counts as 0xFF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace greycore {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

// Size of the TGA header and of the TGA 2.0 footer.
inline constexpr std::int64_t kHeaderSize = 18;
inline constexpr std::int64_t kFooterSize = 26;

// Where the header keeps its fields (16-bit ones little-endian).
namespace field {
inline constexpr std::size_t kIdLength = 0;
inline constexpr std::size_t kMapType = 1;
inline constexpr std::size_t kImageType = 2;
inline constexpr std::size_t kMapLength = 5;
inline constexpr std::size_t kMapEntryBits = 7;
inline constexpr std::size_t kWidth = 12;
inline constexpr std::size_t kHeight = 14;
inline constexpr std::size_t kDepth = 16;
inline constexpr std::size_t kDescriptor = 17;
}  // namespace field

// The image type of uncompressed greyscale, and the descriptor's bits: the alpha bits (low four)
// and the origin.
inline constexpr std::uint8_t kGreyscale = 3;
inline constexpr std::uint8_t kAlphaBits = 0x0F;
inline constexpr std::uint8_t kOriginRight = 0x10;
inline constexpr std::uint8_t kOriginTop = 0x20;

// The footer's last 18 bytes: the signature and a NUL.
inline constexpr char kFooterSignature[] = "TRUEVISION-XFILE.";
static_assert(sizeof kFooterSignature == 18);

// The header of an uncompressed greyscale image with no ID field and no colour map, as the reader
// takes it: `depth` bits per pixel (8, or 16 for grey and alpha), the descriptor's alpha bits and
// origin.
std::vector<std::uint8_t> grey_header(std::uint16_t width, std::uint16_t height, std::uint8_t depth,
                                      std::uint8_t descriptor);

// A TGA 2.0 footer with the given extension area and developer directory offsets.
std::vector<std::uint8_t> footer(std::uint32_t extension = 0, std::uint32_t developer = 0);

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

// Where the image data ends.
enum class DataEnd {
  file_end,   // no footer: at the end of the file
  footer,     // at the TGA 2.0 footer
  extension,  // at the extension area the footer points to
  developer,  // at the developer directory the footer points to
};

struct TgaCheck {
  Verdict verdict = Verdict::refused;
  // What the header says, as printed: type, bits per pixel, alpha bits and origin, or why the
  // image is refused. Empty for a file shorter than the header.
  std::string report;
  // Image data bytes: from the end of the ID field to the earliest of the footer's extension
  // area and developer directory that lies inside that run, else to the footer, else to the end
  // of the file. Only meaningful (and then at least 1) when accepted.
  std::int64_t size = 0;
  bool footer = false;
  DataEnd end = DataEnd::file_end;
  // The header's width and height in pixels and its pixel depth in bits.
  unsigned width = 0;
  unsigned height = 0;
  unsigned depth = 0;
  // Non-zero footer offsets that point outside the image data (into the header or ID field, at
  // or past the footer), which play no part in the data size.
  std::uint32_t stray_extension = 0;
  std::uint32_t stray_developer = 0;

  // The data size the header gives: width x height x the whole bytes of a pixel.
  std::int64_t header_size() const { return std::int64_t{width} * height * ((depth + 7) / 8); }
};

// True when the file ends in a TGA 2.0 footer ("TRUEVISION-XFILE." and a NUL in its last 18 bytes).
bool has_footer(ByteSpan file);

// Reads the header of `file`, keeps its report (or why it is refused) in the result, and works
// out the size of the image data.
TgaCheck checkTGA(ByteSpan file);

// For an accepted image whose data size differs from the header's, the warning line (without a
// line end) that names `image`, both sizes and what is converted; empty otherwise.
std::string size_warning(const std::string& image, const TgaCheck& check);

// Offset of the first image data byte: 18 + the ID length.
std::int64_t position(ByteSpan file);

}  // namespace greycore
