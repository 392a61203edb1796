#include "texcore/texture.hpp"

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

base::Done swap_rows(std::span<std::uint8_t> texels, Format format, unsigned width) {
  const auto row = row_length(format, width);
  if (!row) {
    return base::refuse(cat({"--swap-rows needs rows of whole bytes, and ", std::to_string(width),
                             " ", info(format).name, " texels are not"}));
  }
  swap_odd_rows(texels, *row);
  return {};
}

}  // namespace

base::Result<Image> cut_texture(ByteSpan file, const Texture& t, const Layout& layout,
                                const DecodeOptions& options) {
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
  Bytes texels(file.begin() + static_cast<std::ptrdiff_t>(t.offset),
               file.begin() + static_cast<std::ptrdiff_t>(t.offset + *length));
  if (layout.swap_rows) {
    if (auto swapped = swap_rows(texels, t.format, t.width); !swapped) {
      return base::refuse(swapped.why());
    }
  }
  return decode(texels, t.format, t.width, static_cast<unsigned>(height), options);
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

std::optional<std::uint64_t> parse_number(std::string_view text) {
  unsigned base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || text.size() > 16) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    value = value * base + digit;
  }
  return value;
}

PaletteSource parse_palette_source(std::string_view text) {
  const std::size_t at = text.rfind('@');
  if (at != std::string_view::npos && at > 0) {
    if (const auto offset = parse_number(text.substr(at + 1))) {
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
