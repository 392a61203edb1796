// Texels to 8-bit RGBA and back, both from the table of texcore/format.hpp, and the palettes of
// the colour-indexed formats.
//
// Decoding widens every field by repeating its bits. Encoding takes for each field the nearest
// value the format holds: an intensity is the nearest to the mean of red, green and blue (alpha
// plays no part in an I texel: the console makes it from the intensity), every other channel the
// nearest to its own value; an exact half goes to the larger value. A pixel counts as rounded when
// the channels its texel is made from do not come back exactly.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/result.hpp"
#include "texcore/format.hpp"
#include "texcore/image.hpp"

namespace texcore {

// How a palette stores its entries: as RGBA16 or IA16 texels, big-endian.
enum class PaletteFormat { rgba16, ia16 };

struct Palette {
  PaletteFormat format = PaletteFormat::rgba16;
  std::vector<std::uint16_t> entries;

  // The entries as the console shows them.
  std::vector<Rgba> colours() const;
  // The entries as stored, two bytes each.
  Bytes bytes() const;
};

// The number of entries a palette of an indexed format has: 16 or 256 (0 for other formats).
unsigned palette_size(Format format);

// Up to `count` entries from `file` at `offset`: fewer when the file ends first, refused when not
// one whole entry is there.
base::Result<Palette> read_palette(ByteSpan file, std::uint64_t offset, PaletteFormat format,
                                   unsigned count);

struct DecodeOptions {
  bool opaque = false;               // I formats: alpha 255 instead of the intensity
  const Palette* palette = nullptr;  // CI formats: required
};

// `texels` holds width x height texels exactly (byte_length). A CI image comes back indexed, with
// the palette's colours; an index past the palette's end is refused.
base::Result<Image> decode(ByteSpan texels, Format format, unsigned width, unsigned height,
                           const DecodeOptions& options = {});

// Texels to pixels a run at a time: what decode() does, for a row of a texture at once.
class TexelDecoder {
 public:
  // CI formats: options.palette is required.
  TexelDecoder(Format format, const DecodeOptions& options);
  // The colours of `count` texels from texel `first` of `texels`; a CI texel's entry must be in
  // the palette (first_past_palette).
  void colours(const std::uint8_t* texels, std::size_t first, std::size_t count, Rgba* out) const;
  // CI formats: the entries of the texels.
  void entries(const std::uint8_t* texels, std::size_t first, std::size_t count,
               std::uint8_t* out) const;
  // CI formats: the palette's colours.
  const std::vector<Rgba>& palette() const { return palette_; }
  // CI formats: the first of `count` texels whose entry is past the palette's end, as a refusal.
  base::Done check_entries(ByteSpan texels, std::size_t count) const;

 private:
  const FormatInfo& f_;
  const std::vector<Rgba>* table_ = nullptr;  // formats of up to 16 bits: every value's colour
  std::vector<Rgba> palette_;
};

struct EncodeOptions {
  // CI formats: the palette to index into; without one, the image's own colours become the
  // palette (an indexed image's palette as it stands, when it fits).
  const Palette* palette = nullptr;
  PaletteFormat palette_format = PaletteFormat::rgba16;  // of a palette that is made
};

struct Encoded {
  Bytes texels;
  std::uint64_t rounded = 0;  // pixels whose colour the texels do not hold exactly
  Palette palette;            // CI formats: the palette the indices refer to
};

// Pixels to texels a run at a time: what encode() does, for formats without a palette and for CI
// formats with a given one (options.palette), so that rows can be encoded as they are read.
class TexelEncoder {
 public:
  TexelEncoder(Format format, const EncodeOptions& options);
  ~TexelEncoder();
  TexelEncoder(const TexelEncoder&) = delete;
  TexelEncoder& operator=(const TexelEncoder&) = delete;
  // Encodes `count` pixels (an indexed image's `entries` with them, else nullptr; `inexact`: one
  // flag a pixel rounded before, or nullptr) as the texels from texel `first` of `texels`, which
  // are zero until then.
  void encode(const Rgba* pixels, const std::uint8_t* entries, const std::uint8_t* inexact,
              std::size_t count, std::uint8_t* texels, std::size_t first);
  // The pixels encoded so far whose colour the texels do not hold exactly.
  std::uint64_t rounded() const { return rounded_; }

 private:
  struct Tables;
  class Indexer;
  const FormatInfo& f_;
  std::unique_ptr<Tables> tables_;    // formats without a palette
  std::unique_ptr<Indexer> indexer_;  // CI formats
  std::uint64_t rounded_ = 0;
};

// The bytes of an encoded texture; refused: 4-bit texels that would end in half a byte.
base::Result<std::uint64_t> encoded_length(Format format, unsigned width, unsigned height);

// Refused: 4-bit texels that would end in half a byte; a made palette that would need more
// entries than the format indexes.
base::Result<Encoded> encode(const Image& image, Format format, const EncodeOptions& options = {});

}  // namespace texcore
