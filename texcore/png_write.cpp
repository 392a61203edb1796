#include <zlib.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/bytes.hpp"
#include "base/crc32.hpp"
#include "texcore/deflate.hpp"
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

// The images written as small as zlib makes them: up to 4 MiB of rows.
constexpr std::uint64_t kSmall = std::uint64_t{4} << 20;

// The deflated rows, cut into IDAT chunks of kChunk bytes.
class IdatStream {
 public:
  explicit IdatStream(Bytes& out) : out_(out), buffer_(kChunk) {
    if (deflateInit2(&z_, 9, Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
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

// The samples of one row in the layout's packing: `row`, or the pixels themselves for RGBA.
const std::uint8_t* pack_row(const PngLayout& layout, unsigned w, const Rgba* p,
                             const std::uint8_t* index, std::uint8_t* row) {
  switch (layout.type) {
    case ColourType::grey:
    case ColourType::palette: {
      const unsigned depth = layout.depth;
      const unsigned per_byte = 8 / depth;
      std::memset(row, 0, (std::size_t{w} * depth + 7) / 8);
      for (unsigned x = 0; x < w; ++x) {
        // A grey level of `depth` bits: its top bits are its value.
        const unsigned v = layout.type == ColourType::grey ? p[x].r >> (8 - depth) : index[x];
        const unsigned shift = 8 - depth * (x % per_byte + 1);
        row[x / per_byte] = static_cast<std::uint8_t>(row[x / per_byte] | v << shift);
      }
      return row;
    }
    case ColourType::grey_alpha:
      for (unsigned x = 0; x < w; ++x) {
        row[2 * x] = p[x].r;
        row[2 * x + 1] = p[x].a;
      }
      return row;
    case ColourType::rgb:
      for (unsigned x = 0; x < w; ++x) {
        row[3 * x] = p[x].r;
        row[3 * x + 1] = p[x].g;
        row[3 * x + 2] = p[x].b;
      }
      return row;
    case ColourType::rgba: break;
  }
  return reinterpret_cast<const std::uint8_t*>(p);
}

// For a palette made here: each pixel's entry in one row.
void index_row(const Rgba* p, unsigned w, const ColourSet& set, std::uint8_t* index) {
  for (unsigned x = 0; x < w; ++x) {
    index[x] = x > 0 && p[x] == p[x - 1] ? index[x - 1] : set.entry(p[x]);
  }
}

PngLayout layout_of(const PixelRows& rows, ColourSet& set) {
  PngLayout layout;
  if (rows.indexed()) {
    layout.type = ColourType::palette;
    layout.depth = index_depth(rows.palette().size());
    layout.palette = rows.palette();
    return layout;
  }
  bool grey = true;
  bool opaque = true;
  unsigned depth = 1;
  bool few = true;
  std::vector<Rgba> scratch(rows.width());
  for (unsigned y = 0; y < rows.height() && (grey || opaque || few); ++y) {
    const Rgba* row = rows.pixels(y, scratch.data());
    for (unsigned x = 0; x < rows.width(); ++x) {
      const Rgba& p = row[x];
      grey = grey && p.r == p.g && p.g == p.b;
      opaque = opaque && p.a == 255;
      depth = std::max<unsigned>(depth, kGreyDepth[p.r]);
      few = few && set.add(p);
    }
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

void put_head(Bytes& out, const PixelRows& rows, const PngLayout& layout) {
  out.assign(png_detail::kSignature, png_detail::kSignature + 8);
  Bytes header;
  bytes::append_be32(header, rows.width());
  bytes::append_be32(header, rows.height());
  header.insert(header.end(), {static_cast<std::uint8_t>(layout.depth),
                               static_cast<std::uint8_t>(layout.type), 0, 0, 0});
  put_chunk(out, "IHDR", header);
  if (layout.type != ColourType::palette) return;
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

// The rows of an image in the layout's packing, one after another; the previous row stays valid
// while the next is made.
class PackedRows {
 public:
  PackedRows(const PixelRows& rows, const PngLayout& layout, const ColourSet& set)
      : rows_(rows), layout_(layout), set_(set) {
    const unsigned w = rows.width();
    bytes_ = (std::size_t{w} * png_detail::channels(layout.type) * layout.depth + 7) / 8;
    for (int k = 0; k < 2; ++k) {
      pixels_[k].resize(w);
      index_[k].resize(w);
      line_[k].resize(bytes_);
    }
  }
  std::size_t bytes() const { return bytes_; }
  const std::uint8_t* row(unsigned y) {
    const unsigned k = y % 2;
    const unsigned w = rows_.width();
    const std::uint8_t* index = nullptr;
    const Rgba* p = nullptr;
    if (rows_.indexed()) {
      index = rows_.indices(y, index_[k].data());
    } else {
      p = rows_.pixels(y, pixels_[k].data());
      if (layout_.type == ColourType::palette) {
        index_row(p, w, set_, index_[k].data());
        index = index_[k].data();
      }
    }
    return pack_row(layout_, w, p, index, line_[k].data());
  }

 private:
  const PixelRows& rows_;
  const PngLayout& layout_;
  const ColourSet& set_;
  std::size_t bytes_ = 0;
  std::vector<Rgba> pixels_[2];
  Bytes index_[2], line_[2];
};

// Every row filtered as zlib compresses it best: small images.
void write_small(Bytes& out, PackedRows& packed, const PngLayout& layout, unsigned height) {
  const std::size_t n = packed.bytes();
  const unsigned channels = png_detail::channels(layout.type);
  const unsigned bpp = std::max(1u, channels * layout.depth / 8);
  const bool adaptive = layout.type != ColourType::palette && layout.depth == 8;
  const Bytes zeros(n, 0);
  Bytes scratch(n);
  const std::uint8_t* prev = zeros.data();
  constexpr std::size_t kBatch = std::size_t{1} << 18;
  Bytes batch;
  batch.reserve(kBatch + n + 1);
  IdatStream idat(out);
  for (unsigned y = 0; y < height; ++y) {
    const std::uint8_t* line = packed.row(y);
    const std::size_t at = batch.size();
    batch.resize(at + n + 1);
    filter_row(line, prev, n, bpp, adaptive, batch.data() + at, scratch.data());
    prev = line;
    if (batch.size() >= kBatch) {
      idat.feed(batch, false);
      batch.clear();
    }
  }
  idat.feed(batch, true);
}

// Every row as its difference from the row above (filter 2), in IDAT chunks of about 1 MiB of
// rows, each coded by the run coder: large images.
void write_large(Bytes& out, PackedRows& packed, const PngLayout& layout, unsigned height) {
  const std::size_t n = packed.bytes();
  const unsigned bpp = std::max(1u, png_detail::channels(layout.type) * layout.depth / 8);
  // Runs repeat whole pixels, at least 8 bytes back: a shorter distance is slow to inflate.
  RunCoder coder((8 + bpp - 1) / bpp * bpp);
  const Bytes zeros(n, 0);
  const std::uint8_t* prev = zeros.data();
  constexpr std::size_t kBatch = std::size_t{1} << 20;
  Bytes batch;
  batch.reserve(kBatch + n + 1);
  for (unsigned y = 0; y < height; ++y) {
    const std::uint8_t* line = packed.row(y);
    const std::size_t at = batch.size();
    batch.resize(at + n + 1);
    std::uint8_t* o = batch.data() + at;
    o[0] = 2;
    for (std::size_t i = 0; i < n; ++i) o[1 + i] = static_cast<std::uint8_t>(line[i] - prev[i]);
    prev = line;
    const bool last = y + 1 == height;
    if (batch.size() < kBatch && !last) continue;
    const std::size_t chunk = out.size();
    out.insert(out.end(), {0, 0, 0, 0, 'I', 'D', 'A', 'T'});
    coder.add(batch, last, out);
    batch.clear();
    const std::size_t length = out.size() - chunk - 8;
    bytes::store_be32(out.data() + chunk, static_cast<std::uint32_t>(length));
    bytes::append_be32(out, crc::crc32(ByteSpan(out.data() + chunk + 4, length + 4)));
  }
}

// An image in memory, row by row.
class ImageRows : public PixelRows {
 public:
  explicit ImageRows(const Image& image) : image_(image) {
    width_ = image.width;
    height_ = image.height;
    if (image.indexed()) palette_ = image.palette;
  }
  const Rgba* pixels(unsigned y, Rgba*) const override {
    return image_.pixels.data() + std::size_t{y} * image_.width;
  }
  const std::uint8_t* indices(unsigned y, std::uint8_t*) const override {
    return image_.indices.data() + std::size_t{y} * image_.width;
  }

 private:
  const Image& image_;
};

}  // namespace

PngLayout choose_layout(const PixelRows& rows) {
  ColourSet set;
  return layout_of(rows, set);
}

PngLayout choose_layout(const Image& image) { return choose_layout(ImageRows(image)); }

Bytes write_png(const PixelRows& rows) {
  ColourSet set;
  const PngLayout layout = layout_of(rows, set);
  Bytes out;
  put_head(out, rows, layout);
  PackedRows packed(rows, layout, set);
  const std::uint64_t raw = std::uint64_t{rows.height()} * (packed.bytes() + 1);
  if (raw <= kSmall) {
    write_small(out, packed, layout, rows.height());
  } else {
    // Room for the rows stored as they are, so that the image is never copied as it grows.
    out.reserve(static_cast<std::size_t>(out.size() + raw + raw / 1024 + 64));
    write_large(out, packed, layout, rows.height());
    if (out.size() < out.capacity() / 4) out.shrink_to_fit();
  }
  put_chunk(out, "IEND", {});
  return out;
}

Bytes write_png(const Image& image) { return write_png(ImageRows(image)); }

}  // namespace texcore
