#include "texcore/codec.hpp"

#include <array>
#include <cstring>
#include <iterator>
#include <type_traits>
#include <unordered_map>

#include "base/bytes.hpp"
#include "base/text.hpp"

namespace texcore {
namespace {

using text::cat;

// The colour of a texel value, field by field.
Rgba colour_of(const FormatInfo& f, std::uint32_t value, bool opaque) {
  Rgba c;
  bool alpha = false;
  for (const Field& field : f.layout()) {
    const std::uint8_t w = widen((value >> field.shift) & ((1u << field.bits) - 1), field.bits);
    switch (field.channel) {
      case Channel::intensity: c.r = c.g = c.b = w; break;
      case Channel::red: c.r = w; break;
      case Channel::green: c.g = w; break;
      case Channel::blue: c.b = w; break;
      case Channel::alpha:
        c.a = w;
        alpha = true;
        break;
      case Channel::index: break;
    }
  }
  if (!alpha && f.alpha_is_intensity && !opaque) c.a = c.r;
  return c;
}

// How many 8-bit channels a field is made from: an intensity from red, green and blue.
unsigned sources(Channel channel) { return channel == Channel::intensity ? 3 : 1; }

// For every sum of `count` channels (0 to 255 x count), the `bits`-bit value whose widened level
// is nearest to the channels' mean; an exact half goes to the larger value.
std::vector<std::uint8_t> nearest_table(unsigned bits, unsigned count) {
  std::vector<std::uint8_t> table(255 * count + 1);
  const unsigned top = (1u << bits) - 1;
  unsigned v = 0;
  for (unsigned sum = 0; sum < table.size(); ++sum) {
    // The levels rise with the value, so the nearest one only moves up.
    while (v < top && 2 * sum >= count * (unsigned{widen(v, bits)} + widen(v + 1, bits))) ++v;
    table[sum] = static_cast<std::uint8_t>(v);
  }
  return table;
}

// The colours of every texel value of the formats of up to 16 bits, made once, by format and
// --opaque.
const std::vector<Rgba>& colour_table(const FormatInfo& f, bool opaque) {
  static const auto tables = [] {
    std::array<std::array<std::vector<Rgba>, 2>, std::size(kFormats)> all;
    for (std::size_t k = 0; k < std::size(kFormats); ++k) {
      const FormatInfo& format = kFormats[k];
      if (format.bits > 16) continue;
      for (const bool o : {false, true}) {
        std::vector<Rgba>& table = all[k][o];
        table.resize(std::size_t{1} << format.bits);
        for (std::uint32_t v = 0; v < table.size(); ++v) table[v] = colour_of(format, v, o);
      }
    }
    return all;
  }();
  return tables[static_cast<std::size_t>(&f - kFormats)][opaque];
}

// One format's texels and colours both ways. Formats of up to 16 bits look their colours up.
class TexelCodec {
 public:
  TexelCodec(const FormatInfo& f, bool opaque)
      : f_(f), opaque_(opaque), table_(colour_table(f, opaque)) {
    for (const Field& field : f.layout()) {
      const auto k = static_cast<std::size_t>(&field - f.fields.data());
      nearest_[k] = nearest_table(field.bits, sources(field.channel));
      steps_[k] = {nearest_[k].data(), field.shift, source_of(field.channel)};
      if (field.channel == Channel::alpha) compared_ = 0xFFFFFFFF;
    }
  }

  Rgba colour(std::uint32_t value) const {
    return table_.empty() ? colour_of(f_, value, opaque_) : table_[value];
  }

  std::uint32_t value(const Rgba& p) const {
    const std::uint32_t key = p.key();
    std::uint32_t v = 0;
    for (unsigned k = 0; k < f_.field_count; ++k) {
      const Step& s = steps_[k];
      const unsigned sum = s.source < 0 ? (key >> 24) + (key >> 16 & 0xFF) + (key >> 8 & 0xFF)
                                        : key >> s.source & 0xFF;
      v |= std::uint32_t{s.nearest[sum]} << s.shift;
    }
    return v;
  }

  // True when the texel gives back the channels it is made from.
  bool exact(std::uint32_t value, const Rgba& p) const {
    return ((colour(value).key() ^ p.key()) & compared_) == 0;
  }

 private:
  // Where a field's channel lies in Rgba::key(); -1: the sum of red, green and blue.
  static int source_of(Channel channel) {
    switch (channel) {
      case Channel::red: return 24;
      case Channel::green: return 16;
      case Channel::blue: return 8;
      case Channel::alpha: return 0;
      default: return -1;
    }
  }
  struct Step {
    const std::uint8_t* nearest = nullptr;
    unsigned shift = 0;
    int source = 0;
  };
  const FormatInfo& f_;
  bool opaque_;
  std::uint32_t compared_ = 0xFFFFFF00;  // alpha too when a field holds it
  const std::vector<Rgba>& table_;
  std::array<std::vector<std::uint8_t>, 4> nearest_;
  std::array<Step, 4> steps_{};
};

const FormatInfo& entry_format(PaletteFormat format) {
  return info(format == PaletteFormat::ia16 ? Format::ia16 : Format::rgba16);
}

const char* entry_name(PaletteFormat format) { return entry_format(format).name; }

template <unsigned Bits>
std::uint32_t load(const std::uint8_t* d, std::size_t i) {
  if constexpr (Bits == 4) {
    return i % 2 ? d[i / 2] & 0xFu : d[i / 2] >> 4;
  } else if constexpr (Bits == 8) {
    return d[i];
  } else if constexpr (Bits == 16) {
    return bytes::load_be16(d + 2 * i);
  } else {
    return bytes::load_be32(d + 4 * i);
  }
}

// Stores into zeroed bytes.
template <unsigned Bits>
void store(std::uint8_t* d, std::size_t i, std::uint32_t v) {
  if constexpr (Bits == 4) {
    d[i / 2] = static_cast<std::uint8_t>(d[i / 2] | (i % 2 ? v : v << 4));
  } else if constexpr (Bits == 8) {
    d[i] = static_cast<std::uint8_t>(v);
  } else if constexpr (Bits == 16) {
    d[2 * i] = static_cast<std::uint8_t>(v >> 8);
    d[2 * i + 1] = static_cast<std::uint8_t>(v);
  } else {
    bytes::store_be32(d + 4 * i, v);
  }
}

// Calls `f` with the texel size as a constant.
template <class F>
void by_bits(unsigned bits, F&& f) {
  switch (bits) {
    case 4: f(std::integral_constant<unsigned, 4>{}); break;
    case 8: f(std::integral_constant<unsigned, 8>{}); break;
    case 16: f(std::integral_constant<unsigned, 16>{}); break;
    default: f(std::integral_constant<unsigned, 32>{}); break;
  }
}

bool inexact_at(const Image& image, std::size_t i) {
  return !image.inexact.empty() && image.inexact[i] != 0;
}

unsigned distance(const Rgba& x, const Rgba& y) {
  const int d[] = {x.r - y.r, x.g - y.g, x.b - y.b, x.a - y.a};
  return static_cast<unsigned>(d[0] * d[0] + d[1] * d[1] + d[2] * d[2] + d[3] * d[3]);
}

}  // namespace

// Indices into a given palette: the entry the pixel already has in an indexed image when its
// colour is the same, else the first entry of its colour, else the nearest entry (rounded).
class TexelEncoder::Indexer {
 public:
  Indexer(const Palette& palette, unsigned most) : colours_(palette.colours()), cache_(4096) {
    if (colours_.size() > most) colours_.resize(most);
    for (std::size_t k = colours_.size(); k-- > 0;) {
      first_[colours_[k].key()] = static_cast<std::uint8_t>(k);
    }
  }
  // The entry of pixel p (its entry in an indexed image, else -1); `rounded` counts it when its
  // colour is not the entry's.
  std::uint8_t index(const Rgba& p, int entry, bool& rounded) {
    if (entry >= 0 && static_cast<std::size_t>(entry) < colours_.size() && colours_[entry] == p) {
      return static_cast<std::uint8_t>(entry);
    }
    const std::uint32_t key = p.key();
    if (const auto it = first_.find(key); it != first_.end()) return it->second;
    rounded = true;
    Cached& slot = cache_[(key * 2654435761u) >> 20];
    if (!slot.valid || slot.key != key) {
      unsigned best = 0;
      for (unsigned k = 1; k < colours_.size(); ++k) {
        if (distance(colours_[k], p) < distance(colours_[best], p)) best = k;
      }
      slot = {key, static_cast<std::uint8_t>(best), true};
    }
    return slot.index;
  }

 private:
  // The nearest entries of colours met lately, by a hash of the colour.
  struct Cached {
    std::uint32_t key = 0;
    std::uint8_t index = 0;
    bool valid = false;
  };
  std::vector<Rgba> colours_;
  std::unordered_map<std::uint32_t, std::uint8_t> first_;
  std::vector<Cached> cache_;
};

// For each field a table by channel value (by the sum of red, green and blue for an intensity):
// the nearest value in its place in the texel, and bit 32 when its level is not that channel.
// The I and IA formats read red, green and blue as one (and alpha); the others each channel.
struct TexelEncoder::Tables {
  explicit Tables(const FormatInfo& f) : grey(f.grey()) {
    for (const Field& field : f.layout()) {
      const bool intensity = field.channel == Channel::intensity;
      const unsigned slot = intensity ? 0 : field.channel == Channel::alpha ? 3 : source(field);
      const unsigned count = intensity ? 3 : 1;
      const std::vector<std::uint8_t> nearest = nearest_table(field.bits, count);
      for (unsigned sum = 0; sum < nearest.size(); ++sum) {
        const unsigned level = widen(nearest[sum], field.bits);
        table[slot][sum] =
            std::uint64_t{nearest[sum]} << field.shift | std::uint64_t{level * count != sum} << 32;
      }
    }
  }
  static unsigned source(const Field& field) {
    return field.channel == Channel::red ? 0 : field.channel == Channel::green ? 1 : 2;
  }
  bool grey;
  std::array<std::array<std::uint64_t, 766>, 4> table{};  // red (or intensity), green, blue, alpha
};

TexelEncoder::TexelEncoder(Format format, const EncodeOptions& options) : f_(info(format)) {
  if (f_.indexed()) {
    indexer_ = std::make_unique<Indexer>(*options.palette, palette_size(format));
  } else {
    tables_ = std::make_unique<Tables>(f_);
  }
}

TexelEncoder::~TexelEncoder() = default;

namespace {

// The tables' run: the loop of every texel, with its choices made before it.
template <unsigned Bits, bool Grey, bool Inexact>
std::uint64_t encode_run(const std::array<std::array<std::uint64_t, 766>, 4>& table,
                         const Rgba* pixels, const std::uint8_t* inexact, std::size_t count,
                         std::uint8_t* texels, std::size_t first) {
  const std::uint64_t* t0 = table[0].data();
  const std::uint64_t* t1 = table[1].data();
  const std::uint64_t* t2 = table[2].data();
  const std::uint64_t* t3 = table[3].data();
  std::uint64_t rounded = 0;
  const auto key_of = [](const Rgba& p) {
    std::uint32_t key;
    std::memcpy(&key, &p, 4);
    return key;
  };
  for (std::size_t i = 0; i < count;) {
    const Rgba p = pixels[i];
    std::uint64_t v = 0;
    if constexpr (Grey) {
      v = t0[p.r + p.g + p.b] | t3[p.a] | std::uint64_t{p.r != p.g || p.g != p.b} << 32;
    } else {
      v = t0[p.r] | t1[p.g] | t2[p.b] | t3[p.a];
    }
    // The pixels like it that follow take the same value (drawn images repeat them).
    const std::uint32_t key = key_of(p);
    do {
      const std::uint64_t w = Inexact ? v | std::uint64_t{inexact[i]} << 32 : v;
      store<Bits>(texels, first + i, static_cast<std::uint32_t>(w));
      rounded += w >> 32 != 0;
      ++i;
    } while (i < count && key_of(pixels[i]) == key);
  }
  return rounded;
}

}  // namespace

void TexelEncoder::encode(const Rgba* pixels, const std::uint8_t* entries,
                          const std::uint8_t* inexact, std::size_t count, std::uint8_t* texels,
                          std::size_t first) {
  by_bits(f_.bits, [&](auto bits) {
    constexpr unsigned kBits = decltype(bits)::value;
    if (indexer_) {
      for (std::size_t i = 0; i < count; ++i) {
        bool off = inexact != nullptr && inexact[i] != 0;
        const int entry = entries != nullptr ? entries[i] : -1;
        store<kBits>(texels, first + i, indexer_->index(pixels[i], entry, off));
        rounded_ += off;
      }
      return;
    }
    const auto& t = tables_->table;
    const bool flags = inexact != nullptr;
    if (tables_->grey) {
      rounded_ += flags ? encode_run<kBits, true, true>(t, pixels, inexact, count, texels, first)
                        : encode_run<kBits, true, false>(t, pixels, inexact, count, texels, first);
    } else {
      rounded_ += flags ? encode_run<kBits, false, true>(t, pixels, inexact, count, texels, first)
                        : encode_run<kBits, false, false>(t, pixels, inexact, count, texels, first);
    }
  });
}

namespace {

// A palette made from the image: the colours of an indexed image's palette as they stand, when
// there are no more than `most`; else the colours of the pixels in order of first appearance.
base::Done make_palette(const Image& image, const FormatInfo& f, PaletteFormat format,
                        unsigned most, std::vector<std::uint8_t>& indices, Encoded& e) {
  const TexelCodec entry(entry_format(format), false);
  e.palette.format = format;
  if (image.indexed() && image.palette.size() <= most) {
    std::vector<bool> exact;
    for (const Rgba& c : image.palette) {
      const std::uint32_t v = entry.value(c);
      e.palette.entries.push_back(static_cast<std::uint16_t>(v));
      exact.push_back(entry.exact(v, c));
    }
    indices = image.indices;
    for (std::size_t i = 0; i < image.size(); ++i) {
      if (!exact[indices[i]] || inexact_at(image, i)) ++e.rounded;
    }
    return {};
  }
  std::vector<std::int16_t> slot(std::size_t{1} << 16, -1);
  unsigned count = 0;
  for (std::size_t i = 0; i < image.size(); ++i) {
    const Rgba& p = image.pixels[i];
    const std::uint32_t v = entry.value(p);
    if (!entry.exact(v, p) || inexact_at(image, i)) ++e.rounded;
    if (slot[v] < 0) {
      slot[v] = static_cast<std::int16_t>(count < most ? count : most);
      if (count < most) e.palette.entries.push_back(static_cast<std::uint16_t>(v));
      ++count;
    }
    indices[i] = static_cast<std::uint8_t>(slot[v]);
  }
  if (count > most) {
    return base::refuse(
        cat({"the image has ", std::to_string(count), " colours as ", entry_name(format),
             " palette entries; a ", f.name, " palette holds ", std::to_string(most)}));
  }
  return {};
}

}  // namespace

std::vector<Rgba> Palette::colours() const {
  const TexelCodec codec(entry_format(format), false);
  std::vector<Rgba> out;
  out.reserve(entries.size());
  for (const std::uint16_t v : entries) out.push_back(codec.colour(v));
  return out;
}

Bytes Palette::bytes() const {
  Bytes out;
  out.reserve(2 * entries.size());
  for (const std::uint16_t v : entries) bytes::append_be16(out, v);
  return out;
}

unsigned palette_size(Format format) {
  return format == Format::ci4 ? 16 : format == Format::ci8 ? 256 : 0;
}

base::Result<Palette> read_palette(ByteSpan file, std::uint64_t offset, PaletteFormat format,
                                   unsigned count) {
  const std::uint64_t whole = offset <= file.size() ? (file.size() - offset) / 2 : 0;
  if (whole == 0) {
    return base::refuse(cat({"no palette entry at offset ", offset_text(offset),
                             ": the file holds ", std::to_string(file.size()), " bytes"}));
  }
  Palette palette;
  palette.format = format;
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(whole, count));
  for (std::size_t k = 0; k < n; ++k) {
    palette.entries.push_back(bytes::load_be16(file.data() + offset + 2 * k));
  }
  return palette;
}

TexelDecoder::TexelDecoder(Format format, const DecodeOptions& options) : f_(info(format)) {
  if (f_.indexed()) {
    palette_ = options.palette->colours();
  } else if (f_.bits <= 16) {
    table_ = &colour_table(f_, options.opaque);
  }
}

void TexelDecoder::entries(const std::uint8_t* texels, std::size_t first, std::size_t count,
                           std::uint8_t* out) const {
  by_bits(f_.bits, [&](auto bits) {
    for (std::size_t i = 0; i < count; ++i) {
      out[i] = static_cast<std::uint8_t>(load<decltype(bits)::value>(texels, first + i));
    }
  });
}

void TexelDecoder::colours(const std::uint8_t* texels, std::size_t first, std::size_t count,
                           Rgba* out) const {
  if (f_.indexed()) {
    by_bits(f_.bits, [&](auto bits) {
      for (std::size_t i = 0; i < count; ++i) {
        out[i] = palette_[load<decltype(bits)::value>(texels, first + i)];
      }
    });
  } else if (table_ == nullptr) {
    // 32-bit texels hold red, green, blue and alpha in the order of Rgba.
    std::memcpy(out, texels + 4 * first, 4 * count);
  } else {
    const Rgba* table = table_->data();
    by_bits(f_.bits, [&](auto bits) {
      for (std::size_t i = 0; i < count; ++i) {
        out[i] = table[load<decltype(bits)::value>(texels, first + i)];
      }
    });
  }
}

base::Done TexelDecoder::check_entries(ByteSpan texels, std::size_t count) const {
  if (palette_.size() >= (std::size_t{1} << f_.bits)) return {};
  std::uint8_t k = 0;
  for (std::size_t i = 0; i < count; ++i) {
    entries(texels.data(), i, 1, &k);
    if (k >= palette_.size()) {
      return base::refuse(
          cat({"texel ", std::to_string(i), " uses palette entry ", std::to_string(k),
               ", but the palette has only ", std::to_string(palette_.size())}));
    }
  }
  return {};
}

base::Result<Image> decode(ByteSpan texels, Format format, unsigned width, unsigned height,
                           const DecodeOptions& options) {
  const FormatInfo& f = info(format);
  const std::uint64_t count = std::uint64_t{width} * height;
  const auto length = byte_length(format, count);
  if (!length || *length != texels.size()) {
    return base::refuse(cat({std::to_string(width), " x ", std::to_string(height), " ", f.name,
                             " texels are not ", std::to_string(texels.size()), " bytes"}));
  }
  if (f.indexed() && (options.palette == nullptr || options.palette->entries.empty())) {
    return base::refuse(cat({f.name, " texels need a palette"}));
  }
  const TexelDecoder decoder(format, options);
  if (f.indexed()) {
    if (auto checked = decoder.check_entries(texels, count); !checked) {
      return base::refuse(checked.why());
    }
  }
  Image image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<std::size_t>(count));
  decoder.colours(texels.data(), 0, image.pixels.size(), image.pixels.data());
  if (f.indexed()) {
    image.palette = decoder.palette();
    image.indices.resize(image.pixels.size());
    decoder.entries(texels.data(), 0, image.indices.size(), image.indices.data());
  }
  return image;
}

base::Result<std::uint64_t> encoded_length(Format format, unsigned width, unsigned height) {
  const auto length = byte_length(format, std::uint64_t{width} * height);
  if (!length) {
    return base::refuse(cat({"a ", info(format).name, " texture of ", std::to_string(width), " x ",
                             std::to_string(height),
                             " texels would end in half a byte (4-bit textures need an even "
                             "number of texels)"}));
  }
  return *length;
}

base::Result<Encoded> encode(const Image& image, Format format, const EncodeOptions& options) {
  const FormatInfo& f = info(format);
  const auto length = encoded_length(format, image.width, image.height);
  if (!length) return base::refuse(length.why());
  Encoded e;
  e.texels.assign(static_cast<std::size_t>(*length), 0);
  std::uint8_t* d = e.texels.data();
  if (f.indexed() && options.palette == nullptr) {
    std::vector<std::uint8_t> indices(image.size());
    if (auto made =
            make_palette(image, f, options.palette_format, palette_size(format), indices, e);
        !made) {
      return base::refuse(made.why());
    }
    by_bits(f.bits, [&](auto bits) {
      for (std::size_t i = 0; i < indices.size(); ++i)
        store<decltype(bits)::value>(d, i, indices[i]);
    });
    return e;
  }
  // An I texel's alpha is not read, so --opaque plays no part here.
  TexelEncoder encoder(format, options);
  encoder.encode(image.pixels.data(), image.indexed() ? image.indices.data() : nullptr,
                 image.inexact.empty() ? nullptr : image.inexact.data(), image.size(), d, 0);
  e.rounded = encoder.rounded();
  if (f.indexed()) e.palette = *options.palette;
  return e;
}

}  // namespace texcore
