#include "texcore/texture.hpp"

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/text.hpp"

namespace texcore {
namespace {

using text::cat;

// The bytes of one row, when rows are whole bytes.
std::optional<std::size_t> row_length(Format format, unsigned width) {
  const auto n = byte_length(format, width);
  if (!n) return std::nullopt;
  return static_cast<std::size_t>(*n);
}

std::string swap_refusal(Format format, unsigned width) {
  return cat({"--swap-rows needs rows of whole bytes, and ", std::to_string(width), " ",
              info(format).name, " texels are not"});
}

base::Done swap_rows(std::span<std::uint8_t> texels, Format format, unsigned width) {
  const auto row = row_length(format, width);
  if (!row) return base::refuse(swap_refusal(format, width));
  swap_odd_rows(texels, *row);
  return {};
}

// Where the texture's texels lie in the file, and its height. Refused as cut_texture says.
struct Place {
  unsigned height = 0;
  ByteSpan texels;
};

base::Result<Place> place_of(ByteSpan file, const Texture& t) {
  const FormatInfo& f = info(t.format);
  if (t.width == 0 || t.width > kMaxPixels) return base::refuse("the width is 0 or too large");
  if (t.offset > file.size()) {
    return base::refuse(cat({"offset ", offset_text(t.offset), " is past the end of the file (",
                             std::to_string(file.size()), " bytes)"}));
  }
  const std::uint64_t left = file.size() - t.offset;
  std::uint64_t height = 0;
  if (t.height) {
    height = *t.height;
  } else {
    height = left * 8 / (std::uint64_t{f.bits} * t.width);
    // 4-bit texels of an odd width: a whole number of bytes.
    if (!byte_length(t.format, height * t.width)) --height;
    if (height == 0) {
      return base::refuse(cat({"no whole row of ", std::to_string(t.width), " ", f.name,
                               " texels follows offset ", offset_text(t.offset)}));
    }
  }
  if (height == 0 || height * t.width > kMaxPixels) {
    return base::refuse(cat({"a texture of ", std::to_string(t.width), " x ",
                             std::to_string(height), " texels is beyond what is taken (1 to ",
                             std::to_string(kMaxPixels), " texels; give --height)"}));
  }
  const auto length = byte_length(t.format, height * t.width);
  if (!length) {
    return base::refuse(cat({std::to_string(t.width), " x ", std::to_string(height), " ", f.name,
                             " texels end in half a byte (4-bit textures need an even number of "
                             "texels)"}));
  }
  if (*length > left) {
    return base::refuse(
        cat({std::to_string(t.width), " x ", std::to_string(height), " ", f.name, " texels need ",
             std::to_string(*length), " bytes from offset ", offset_text(t.offset), ", but only ",
             std::to_string(left), " follow it"}));
  }
  return Place{static_cast<unsigned>(height),
               file.subspan(static_cast<std::size_t>(t.offset), static_cast<std::size_t>(*length))};
}

// A texture's rows decoded as they are asked for, the odd rows' words swapped back first when
// the layout says so.
class TextureRows : public PixelRows {
 public:
  TextureRows(const Texture& t, const Place& place, bool swap, const DecodeOptions& options)
      : decoder_(t.format, options),
        texels_(place.texels),
        row_bytes_(swap ? static_cast<std::size_t>(*byte_length(t.format, t.width)) : 0),
        swapped_(row_bytes_) {
    width_ = t.width;
    height_ = place.height;
    if (info(t.format).indexed()) palette_ = decoder_.palette();
  }
  const Rgba* pixels(unsigned y, Rgba* scratch) const override {
    const auto [d, first] = row(y);
    decoder_.colours(d, first, width(), scratch);
    return scratch;
  }
  const std::uint8_t* indices(unsigned y, std::uint8_t* scratch) const override {
    const auto [d, first] = row(y);
    decoder_.entries(d, first, width(), scratch);
    return scratch;
  }
  const TexelDecoder& decoder() const { return decoder_; }

 private:
  // The texels of row y and the index of its first texel there.
  std::pair<const std::uint8_t*, std::size_t> row(unsigned y) const {
    const std::size_t first = std::size_t{y} * width();
    if (row_bytes_ == 0 || y % 2 == 0) return {texels_.data(), first};
    std::memcpy(swapped_.data(), texels_.data() + y * row_bytes_, row_bytes_);
    swap_words(swapped_);
    return {swapped_.data(), 0};
  }
  TexelDecoder decoder_;
  ByteSpan texels_;
  std::size_t row_bytes_;  // with the odd rows swapped; else 0
  mutable Bytes swapped_;  // one odd row swapped back
};

// Encodes each row as it is read; refuses, as encode() does, a 4-bit texture of an odd number of
// texels.
class EncodingSink : public RowSink {
 public:
  // `bound`: the most bytes the texels can need, by the size of the PNG.
  EncodingSink(Format format, const EncodeOptions& options, std::uint64_t bound)
      : format_(format), encoder_(format, options), bound_(bound) {}
  // Memory follows the rows that come, not the size the header claims; it is taken at once as
  // far as the file can fill it.
  void begin(unsigned width, unsigned height, const std::vector<Rgba>&) override {
    width_ = width;
    height_ = height;
    const auto length = encoded_length(format_, width, height);
    if (!length) {
      refusal_ = length.why();
      return;
    }
    texels_.reserve(static_cast<std::size_t>(std::min(*length, bound_)));
  }
  void row(unsigned y, const Rgba* pixels, const std::uint8_t* entries,
           const std::uint8_t* inexact) override {
    if (!refusal_.empty()) return;
    const std::uint64_t texels = (std::uint64_t{y} + 1) * width_;
    texels_.resize(static_cast<std::size_t>((texels * info(format_).bits + 7) / 8));
    encoder_.encode(pixels, entries, inexact, width_, texels_.data(), std::size_t{y} * width_);
  }
  base::Result<Encoded> result(const Palette* palette) {
    if (!refusal_.empty()) return base::refuse(refusal_);
    Encoded e{std::move(texels_), encoder_.rounded(), palette ? *palette : Palette{}};
    return e;
  }
  unsigned width_ = 0, height_ = 0;

 private:
  Format format_;
  TexelEncoder encoder_;
  std::uint64_t bound_;
  Bytes texels_;
  std::string refusal_;
};

}  // namespace

PngTexels png_texels(ByteSpan png, Format format, const Layout& layout,
                     const EncodeOptions& options) {
  PngTexels out;
  if (info(format).indexed() && options.palette == nullptr) {
    auto image = read_png(png);
    if (!image) {
      out.read = base::refuse(image.why());
      return out;
    }
    out.width = image->width;
    out.height = image->height;
    out.encoded = texels_of(*image, format, layout, options);
    return out;
  }
  // Deflate makes at most 1032 bytes of each byte, and a texel needs at most 32 times the bits
  // of a pixel of the PNG's rows.
  EncodingSink sink(format, options, 32 * (1032 * std::uint64_t{png.size()} + (1 << 16)));
  out.read = read_png(png, sink);
  if (!out.read) return out;
  out.width = sink.width_;
  out.height = sink.height_;
  out.encoded = sink.result(options.palette);
  if (out.encoded && layout.swap_rows) {
    if (auto swapped = swap_rows(out.encoded->texels, format, out.width); !swapped) {
      out.encoded = base::refuse(swapped.why());
    }
  }
  return out;
}

base::Result<std::unique_ptr<PixelRows>> texture_rows(ByteSpan file, const Texture& t,
                                                      const Layout& layout,
                                                      const DecodeOptions& options) {
  const auto place = place_of(file, t);
  if (!place) return base::refuse(place.why());
  const FormatInfo& f = info(t.format);
  if (layout.swap_rows && !row_length(t.format, t.width)) {
    return base::refuse(swap_refusal(t.format, t.width));
  }
  if (f.indexed() && (options.palette == nullptr || options.palette->entries.empty())) {
    return base::refuse(cat({f.name, " texels need a palette"}));
  }
  auto rows = std::make_unique<TextureRows>(t, *place, layout.swap_rows, options);
  if (f.indexed()) {
    // Texels are counted as the rows are drawn, the odd rows swapped back.
    Bytes swapped;
    ByteSpan texels = place->texels;
    if (layout.swap_rows) {
      swapped.assign(texels.begin(), texels.end());
      swap_odd_rows(swapped, *row_length(t.format, t.width));
      texels = swapped;
    }
    const std::uint64_t count = std::uint64_t{t.width} * place->height;
    if (auto checked = rows->decoder().check_entries(texels, count); !checked) {
      return base::refuse(checked.why());
    }
  }
  return std::unique_ptr<PixelRows>(std::move(rows));
}

base::Result<Image> cut_texture(ByteSpan file, const Texture& t, const Layout& layout,
                                const DecodeOptions& options) {
  const auto place = place_of(file, t);
  if (!place) return base::refuse(place.why());
  Bytes texels(place->texels.begin(), place->texels.end());
  if (layout.swap_rows) {
    if (auto swapped = swap_rows(texels, t.format, t.width); !swapped) {
      return base::refuse(swapped.why());
    }
  }
  return decode(texels, t.format, t.width, place->height, options);
}

base::Result<Encoded> texels_of(const Image& image, Format format, const Layout& layout,
                                const EncodeOptions& options) {
  auto encoded = encode(image, format, options);
  if (encoded && layout.swap_rows) {
    if (auto swapped = swap_rows(encoded->texels, format, image.width); !swapped) {
      return base::refuse(swapped.why());
    }
  }
  return encoded;
}

PaletteSource parse_palette_source(std::string_view text) {
  const std::size_t at = text.rfind('@');
  if (at != std::string_view::npos && at > 0) {
    if (const auto offset = text::parse_number(text.substr(at + 1))) {
      return {std::string(text.substr(0, at)), *offset};
    }
  }
  return {std::string(text), 0};
}

std::optional<PaletteFormat> parse_palette_format(std::string_view name) {
  if (name == "rgba16") return PaletteFormat::rgba16;
  if (name == "ia16") return PaletteFormat::ia16;
  return std::nullopt;
}

const char* palette_format_name(PaletteFormat format) {
  return format == PaletteFormat::ia16 ? "ia16" : "rgba16";
}

}  // namespace texcore
