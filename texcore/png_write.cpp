#include <zlib.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/bytes.hpp"
#include "base/crc32.hpp"
#include "texcore/png.hpp"
#include "texcore/png_detail.hpp"

namespace texcore {
namespace {

// The least grey depth that holds a value exactly: its level at 1, 2 or 4 bits, else 8.
constexpr std::array<std::uint8_t, 256> kGreyDepth = [] {
  std::array<std::uint8_t, 256> depth{};
  for (unsigned v = 0; v < 256; ++v) {
    depth[v] = v % 255 == 0 ? 1 : v % 85 == 0 ? 2 : v % 17 == 0 ? 4 : 8;
  }
  return depth;
}();

// The colours of an image in order of first appearance, while there are at most 256.
class ColourSet {
 public:
  // False once a 257th colour comes.
  bool add(const Rgba& c) {
    const std::uint32_t key = c.key();
    if (!colours_.empty() && key == last_) return true;
    last_ = key;
    std::size_t at = slot(key);
    if (used_[at]) return true;
    if (colours_.size() == 256) return false;
    used_[at] = true;
    keys_[at] = key;
    entry_[at] = static_cast<std::uint8_t>(colours_.size());
    colours_.push_back(c);
    return true;
  }
  // The entry of a colour that was added.
  std::uint8_t entry(const Rgba& c) const { return entry_[slot(c.key())]; }
  const std::vector<Rgba>& colours() const { return colours_; }

 private:
  // Where `key` is, or the free slot where it goes: 512 slots, at most half of them taken.
  std::size_t slot(std::uint32_t key) const {
    std::size_t at = (key * 2654435761u) >> 23;
    while (used_[at] && keys_[at] != key) at = (at + 1) % kSlots;
    return at;
  }
  static constexpr std::size_t kSlots = 512;
  std::array<std::uint32_t, kSlots> keys_{};
  std::array<std::uint8_t, kSlots> entry_{};
  std::array<bool, kSlots> used_{};
  std::vector<Rgba> colours_;
  std::uint32_t last_ = 0;
};

unsigned index_depth(std::size_t entries) {
  return entries <= 2 ? 1 : entries <= 4 ? 2 : entries <= 16 ? 4 : 8;
}

void put_chunk(Bytes& out, const char* type, ByteSpan data) {
  bytes::append_be32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t from = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  bytes::append_be32(out, crc::crc32(ByteSpan(out.data() + from, out.size() - from)));
}

// The deflated rows, cut into IDAT chunks of kChunk bytes.
class IdatStream {
 public:
  // Images of up to 4 MiB of rows (every texture that fits the console's texture memory) are
  // deflated as small as zlib makes them; larger ones, such as a whole file browsed as one strip,
  // with runs alone, which keeps most of the gain at several times the speed.
  IdatStream(Bytes& out, std::uint64_t raw) : out_(out), buffer_(kChunk) {
    const bool small = raw <= (std::uint64_t{4} << 20);
    if (deflateInit2(&z_, small ? 9 : 6, Z_DEFLATED, 15, 9, small ? Z_DEFAULT_STRATEGY : Z_RLE) !=
        Z_OK) {
      throw std::bad_alloc();
    }
  }
  ~IdatStream() { deflateEnd(&z_); }
  IdatStream(const IdatStream&) = delete;
  IdatStream& operator=(const IdatStream&) = delete;

  void feed(ByteSpan data, bool last) {
    z_.next_in = const_cast<Bytef*>(data.data());
    z_.avail_in = static_cast<uInt>(data.size());
    const int flush = last ? Z_FINISH : Z_NO_FLUSH;
    for (;;) {
      z_.next_out = buffer_.data() + used_;
      z_.avail_out = static_cast<uInt>(buffer_.size() - used_);
      const int status = deflate(&z_, flush);
      if (status == Z_MEM_ERROR) throw std::bad_alloc();
      used_ = buffer_.size() - z_.avail_out;
      if (used_ == buffer_.size()) emit();
      if (last ? status == Z_STREAM_END : z_.avail_in == 0 && z_.avail_out > 0) break;
    }
    if (last && used_ > 0) emit();
  }

 private:
  static constexpr std::size_t kChunk = std::size_t{1} << 20;
  void emit() {
    put_chunk(out_, "IDAT", ByteSpan(buffer_.data(), used_));
    used_ = 0;
  }
  Bytes& out_;
  Bytes buffer_;
  std::size_t used_ = 0;
  z_stream z_{};
};

// The cost of filter `Type` on a row: all of it, or for a long row 64 bytes of every 512, which
// tells the filters apart nearly as well at a fraction of the work.
template <int Type>
unsigned long cost_of(const std::uint8_t* line, const std::uint8_t* prev, std::size_t n,
                      unsigned bpp, std::uint8_t* scratch) {
  constexpr std::size_t kPiece = 64, kStride = 512;
  if (n <= 8 * kStride) return png_detail::filter<Type>(line, prev, n, bpp, scratch);
  unsigned long cost = 0;
  for (std::size_t at = kStride; at + kPiece <= n; at += kStride) {
    cost += png_detail::filter<Type>(line + at - bpp, prev + at - bpp, kPiece + bpp, bpp, scratch);
  }
  return cost;
}

// Writes the row `line` after `prev` (zeros for the first row) filtered, its filter byte first:
// no filter for palettes and depths below 8, else the filter of the least cost.
void filter_row(const std::uint8_t* line, const std::uint8_t* prev, std::size_t n, unsigned bpp,
                bool adaptive, std::uint8_t* out, std::uint8_t* scratch) {
  std::uint8_t type = 0;
  if (adaptive) {
    const unsigned long costs[] = {
        cost_of<0>(line, prev, n, bpp, scratch), cost_of<1>(line, prev, n, bpp, scratch),
        cost_of<2>(line, prev, n, bpp, scratch), cost_of<3>(line, prev, n, bpp, scratch),
        cost_of<4>(line, prev, n, bpp, scratch)};
    for (std::uint8_t t = 1; t < 5; ++t) {
      if (costs[t] < costs[type]) type = t;
    }
  }
  out[0] = type;
  switch (type) {
    case 1: png_detail::filter<1>(line, prev, n, bpp, out + 1); break;
    case 2: png_detail::filter<2>(line, prev, n, bpp, out + 1); break;
    case 3: png_detail::filter<3>(line, prev, n, bpp, out + 1); break;
    case 4: png_detail::filter<4>(line, prev, n, bpp, out + 1); break;
    default: std::memcpy(out + 1, line, n); break;
  }
}

// The samples of one row in the layout's packing.
void pack_row(const Image& image, const PngLayout& layout, unsigned y,
              const std::vector<std::uint8_t>& index_of, std::uint8_t* row) {
  const Rgba* p = image.pixels.data() + std::size_t{y} * image.width;
  const unsigned w = image.width;
  switch (layout.type) {
    case ColourType::grey:
    case ColourType::palette: {
      const unsigned depth = layout.depth;
      const unsigned per_byte = 8 / depth;
      std::memset(row, 0, (std::size_t{w} * depth + 7) / 8);
      for (unsigned x = 0; x < w; ++x) {
        unsigned v;
        if (layout.type == ColourType::grey) {
          v = p[x].r >> (8 - depth);  // a level of `depth` bits: its top bits are its value
        } else if (image.indexed()) {
          v = image.indices[std::size_t{y} * w + x];
        } else {
          v = index_of[x];
        }
        const unsigned shift = 8 - depth * (x % per_byte + 1);
        row[x / per_byte] = static_cast<std::uint8_t>(row[x / per_byte] | v << shift);
      }
      break;
    }
    case ColourType::grey_alpha:
      for (unsigned x = 0; x < w; ++x) {
        row[2 * x] = p[x].r;
        row[2 * x + 1] = p[x].a;
      }
      break;
    case ColourType::rgb:
      for (unsigned x = 0; x < w; ++x) {
        row[3 * x] = p[x].r;
        row[3 * x + 1] = p[x].g;
        row[3 * x + 2] = p[x].b;
      }
      break;
    case ColourType::rgba: std::memcpy(row, p, std::size_t{w} * 4); break;
  }
}

// For a palette made here: each pixel's entry in one row.
void index_row(const Image& image, unsigned y, const ColourSet& set,
               std::vector<std::uint8_t>& index_of) {
  const Rgba* p = image.pixels.data() + std::size_t{y} * image.width;
  for (unsigned x = 0; x < image.width; ++x) {
    index_of[x] = x > 0 && p[x] == p[x - 1] ? index_of[x - 1] : set.entry(p[x]);
  }
}

PngLayout layout_of(const Image& image, ColourSet& set) {
  PngLayout layout;
  if (image.indexed()) {
    layout.type = ColourType::palette;
    layout.depth = index_depth(image.palette.size());
    layout.palette = image.palette;
    return layout;
  }
  bool grey = true;
  bool opaque = true;
  unsigned depth = 1;
  bool few = true;
  for (const Rgba& p : image.pixels) {
    grey = grey && p.r == p.g && p.g == p.b;
    opaque = opaque && p.a == 255;
    depth = std::max<unsigned>(depth, kGreyDepth[p.r]);
    few = few && set.add(p);
    if (!grey && !opaque && !few) break;
  }
  if (grey && opaque && (!few || depth <= index_depth(set.colours().size()))) {
    layout.type = ColourType::grey;
    layout.depth = depth;
  } else if (few) {
    layout.type = ColourType::palette;
    layout.depth = index_depth(set.colours().size());
    layout.palette = set.colours();
  } else {
    layout.type = grey ? ColourType::grey_alpha : opaque ? ColourType::rgb : ColourType::rgba;
  }
  return layout;
}

}  // namespace

PngLayout choose_layout(const Image& image) {
  ColourSet set;
  return layout_of(image, set);
}

Bytes write_png(const Image& image) {
  ColourSet set;
  const PngLayout layout = layout_of(image, set);
  Bytes out(png_detail::kSignature, png_detail::kSignature + 8);

  Bytes header;
  bytes::append_be32(header, image.width);
  bytes::append_be32(header, image.height);
  header.insert(header.end(), {static_cast<std::uint8_t>(layout.depth),
                               static_cast<std::uint8_t>(layout.type), 0, 0, 0});
  put_chunk(out, "IHDR", header);
  if (layout.type == ColourType::palette) {
    Bytes plte;
    Bytes trns;
    for (const Rgba& c : layout.palette) {
      plte.insert(plte.end(), {c.r, c.g, c.b});
      trns.push_back(c.a);
    }
    while (!trns.empty() && trns.back() == 255) trns.pop_back();
    put_chunk(out, "PLTE", plte);
    if (!trns.empty()) put_chunk(out, "tRNS", trns);
  }

  const unsigned channels = png_detail::channels(layout.type);
  const std::size_t n = (std::size_t{image.width} * channels * layout.depth + 7) / 8;
  const unsigned bpp = std::max(1u, channels * layout.depth / 8);
  const bool adaptive = layout.type != ColourType::palette && layout.depth == 8;
  Bytes line(n), prev(n, 0), scratch(n);
  std::vector<std::uint8_t> index_of;
  const bool made_palette = layout.type == ColourType::palette && !image.indexed();
  if (made_palette) index_of.resize(image.width);

  constexpr std::size_t kBatch = std::size_t{1} << 18;
  Bytes batch;
  batch.reserve(kBatch + n + 1);
  IdatStream idat(out, std::uint64_t{image.height} * (n + 1));
  for (unsigned y = 0; y < image.height; ++y) {
    if (made_palette) index_row(image, y, set, index_of);
    pack_row(image, layout, y, index_of, line.data());
    const std::size_t at = batch.size();
    batch.resize(at + n + 1);
    filter_row(line.data(), prev.data(), n, bpp, adaptive, batch.data() + at, scratch.data());
    line.swap(prev);
    if (batch.size() >= kBatch) {
      idat.feed(batch, false);
      batch.clear();
    }
  }
  idat.feed(batch, true);
  put_chunk(out, "IEND", {});
  return out;
}

}  // namespace texcore
