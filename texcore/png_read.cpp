#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "base/bytes.hpp"
#include "base/crc32.hpp"
#include "base/text.hpp"
#include "texcore/deflate.hpp"
#include "texcore/png.hpp"
#include "texcore/png_detail.hpp"

namespace texcore {
namespace {

using text::cat;

struct Header {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  unsigned depth = 0;
  ColourType type = ColourType::grey;
  bool interlaced = false;
};

// One pass of the image: where its pixels start and how far apart they are. A plain image is one
// pass of every pixel; an interlaced one has Adam7's seven.
struct Pass {
  unsigned x0, y0, dx, dy;
};
constexpr Pass kWhole[] = {{0, 0, 1, 1}};
constexpr Pass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                           {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

std::uint32_t count_in(std::uint32_t size, unsigned start, unsigned step) {
  return size > start ? (size - start + step - 1) / step : 0;
}

std::uint64_t row_bytes(const Header& h, std::uint64_t pixels) {
  return (pixels * png_detail::channels(h.type) * h.depth + 7) / 8;
}

std::span<const Pass> passes(const Header& h) {
  return h.interlaced ? std::span<const Pass>(kAdam7) : std::span<const Pass>(kWhole);
}

// The bytes of the filtered rows of every pass.
std::uint64_t raw_size(const Header& h) {
  std::uint64_t size = 0;
  for (const Pass& p : passes(h)) {
    const std::uint64_t w = count_in(h.width, p.x0, p.dx);
    const std::uint64_t rows = count_in(h.height, p.y0, p.dy);
    if (w > 0) size += rows * (1 + row_bytes(h, w));
  }
  return size;
}

base::Result<Header> read_header(ByteSpan data, const PngLimits& limits) {
  if (data.size() != 13) return base::refuse("its IHDR chunk is not 13 bytes long");
  Header h;
  h.width = bytes::load_be32(data.data());
  h.height = bytes::load_be32(data.data() + 4);
  h.depth = data[8];
  h.type = static_cast<ColourType>(data[9]);
  const unsigned depth = h.depth;
  bool valid = false;
  switch (data[9]) {
    case 0: valid = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16; break;
    case 3: valid = depth == 1 || depth == 2 || depth == 4 || depth == 8; break;
    case 2:
    case 4:
    case 6: valid = depth == 8 || depth == 16; break;
    default: break;
  }
  if (!valid) {
    return base::refuse(cat({"colour type ", std::to_string(data[9]), " with ",
                             std::to_string(depth), "-bit samples is no PNG image"}));
  }
  if (data[10] != 0 || data[11] != 0 || data[12] > 1) {
    return base::refuse("its header names an unknown compression, filter or interlace method");
  }
  h.interlaced = data[12] == 1;
  if (h.width == 0 || h.height == 0 || h.width > 0x7FFFFFFF || h.height > 0x7FFFFFFF) {
    return base::refuse("its header gives a size of " + std::to_string(h.width) + " x " +
                        std::to_string(h.height) + " pixels");
  }
  if (std::uint64_t{h.width} * h.height > limits.max_pixels) {
    return base::refuse(
        cat({"the image is ", std::to_string(h.width), " x ", std::to_string(h.height),
             " pixels; more than ", std::to_string(limits.max_pixels), " are not read"}));
  }
  return h;
}

// Inflates the IDAT chunks into the filtered rows, never past the size the header gives them, and
// hands them on `stride` bytes at a time as they are complete: a plain image's rows a few hundred
// KiB at a time, an interlaced one's all at once (stride: all of them).
class Inflater {
 public:
  using Take = std::function<base::Done(std::uint8_t* data, std::size_t strides)>;
  // `compressed`: the most compressed bytes there can be (the file's size). Deflate makes at most
  // 1032 bytes of each: memory for that many is taken at once, but never more than the rows in
  // flight need, nor more than 256 MiB before the data has shown it is needed.
  Inflater(std::uint64_t expected, std::uint64_t compressed, std::uint64_t stride, Take take)
      : expected_(expected), stride_(stride), take_(std::move(take)) {
    // Raw deflate: the stream's header and Adler-32 are checked here, the sum more quickly.
    if (inflateInit2(&z_, -15) != Z_OK) throw std::bad_alloc();
    cap_ = stride >= expected ? expected
                              : std::max<std::uint64_t>(stride, (kWindow / stride) * stride);
    const std::uint64_t first = std::min(1032 * compressed + (1 << 16), std::uint64_t{1} << 28);
    raw_.resize(static_cast<std::size_t>(std::min(cap_, first)));
  }
  ~Inflater() { inflateEnd(&z_); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  base::Done feed(ByteSpan data) {
    z_.next_in = const_cast<Bytef*>(data.data());
    z_.avail_in = static_cast<uInt>(data.size());
    if (auto head = take_header(); !head) return head;
    while (z_.avail_in > 0 && !stream_end_) {
      const uInt before = z_.avail_in;
      const std::uint64_t had = filled_;
      if (done_ + filled_ == expected_) {
        // Full: anything more the stream holds is more than the image needs.
        std::uint8_t extra;
        z_.next_out = &extra;
        z_.avail_out = 1;
        if (auto step = inflate_step(); !step) return step;
        if (z_.avail_out == 0) return base::refuse("its image data is longer than its size");
        if (z_.avail_in == before && !stream_end_) {
          return base::refuse("its image data is damaged (inflate makes no progress)");
        }
        continue;
      }
      if (raw_.size() == filled_) {
        // Memory follows the data that has come: it doubles, up to the rows in flight.
        raw_.resize(static_cast<std::size_t>(
            std::min<std::uint64_t>(cap_, std::max<std::uint64_t>(2 * raw_.size(), 1 << 16))));
      }
      const std::size_t room = static_cast<std::size_t>(
          std::min<std::uint64_t>({raw_.size() - filled_, expected_ - done_ - filled_, 1u << 30}));
      z_.next_out = raw_.data() + filled_;
      z_.avail_out = static_cast<uInt>(room);
      if (auto step = inflate_step(); !step) return step;
      filled_ += room - z_.avail_out;
      adler_ =
          adler32(adler_, ByteSpan(raw_.data() + had, static_cast<std::size_t>(filled_ - had)));
      if (z_.avail_in == before && filled_ == had && !stream_end_) {
        return base::refuse("its image data is damaged (inflate makes no progress)");
      }
      if (auto taken = hand_on(); !taken) return taken;
    }
    return take_trailer();
  }

  bool ended() const { return ended_; }

 private:
  // The stream's two bytes of header, checked as zlib does.
  base::Done take_header() {
    while (got_ < 2 && z_.avail_in > 0) {
      head_[got_++] = *z_.next_in++;
      --z_.avail_in;
    }
    if (got_ < 2 || checked_) return {};
    checked_ = true;
    const char* fault = nullptr;
    if ((head_[0] * 256u + head_[1]) % 31 != 0) {
      fault = "incorrect header check";
    } else if ((head_[0] & 0x0F) != Z_DEFLATED) {
      fault = "unknown compression method";
    } else if (head_[0] >> 4 > 7) {
      fault = "invalid window size";
    } else if (head_[1] & 0x20) {
      fault = "inflate failed";  // a preset dictionary, which PNG does not have
    }
    if (fault == nullptr) return {};
    return base::refuse(cat({"its image data is damaged (", fault, ")"}));
  }

  // After the deflate data, its Adler-32, big-endian.
  base::Done take_trailer() {
    while (stream_end_ && !ended_ && z_.avail_in > 0) {
      trailer_ = trailer_ << 8 | *z_.next_in++;
      --z_.avail_in;
      if (++got_ < 6) continue;
      if (trailer_ != adler_)
        return base::refuse("its image data is damaged (incorrect data check)");
      ended_ = true;
    }
    return {};
  }

 public:
  std::uint64_t filled() const { return done_ + filled_; }

 private:
  static constexpr std::uint64_t kWindow = std::uint64_t{1} << 18;

  // The whole strides inflated so far go to take_; the rest moves to the front.
  base::Done hand_on() {
    const std::uint64_t strides = filled_ / stride_;
    if (strides == 0) return {};
    if (auto taken = take_(raw_.data(), static_cast<std::size_t>(strides)); !taken) return taken;
    const auto used = static_cast<std::size_t>(strides * stride_);
    std::memmove(raw_.data(), raw_.data() + used, static_cast<std::size_t>(filled_) - used);
    filled_ -= used;
    done_ += used;
    return {};
  }

  base::Done inflate_step() {
    const int status = inflate(&z_, Z_NO_FLUSH);
    if (status == Z_STREAM_END) {
      stream_end_ = true;
    } else if (status == Z_MEM_ERROR) {
      throw std::bad_alloc();
    } else if (status != Z_OK && status != Z_BUF_ERROR) {
      return base::refuse(
          cat({"its image data is damaged (", z_.msg != nullptr ? z_.msg : "inflate failed", ")"}));
    }
    return {};
  }

  z_stream z_{};
  std::uint64_t expected_;
  std::uint64_t stride_;
  std::uint64_t cap_ = 0;
  Take take_;
  Bytes raw_;
  std::uint64_t filled_ = 0;  // in raw_
  std::uint64_t done_ = 0;    // handed on
  std::uint8_t head_[2] = {};
  unsigned got_ = 0;  // of the header's 2 bytes, then of the trailer's 4 after them
  bool checked_ = false;
  std::uint32_t adler_ = 1;
  std::uint32_t trailer_ = 0;
  bool stream_end_ = false;  // the deflate data ended
  bool ended_ = false;       // and its Adler-32 was right
};

// The PLTE and tRNS chunks, and a grey or RGB tRNS's colour (the samples as stored).
struct Colours {
  std::vector<Rgba> palette;
  bool has_key = false;
  std::uint16_t key[3] = {0, 0, 0};
};

unsigned sample(const std::uint8_t* row, std::size_t i, unsigned depth) {
  switch (depth) {
    case 8: return row[i];
    case 16: return bytes::load_be16(row + 2 * i);
    default: {
      const unsigned per_byte = 8 / depth;
      const unsigned shift = 8 - depth * static_cast<unsigned>(i % per_byte + 1);
      return (row[i / per_byte] >> shift) & ((1u << depth) - 1);
    }
  }
}

// A sample as 8 bits: lower depths by repeating their bits, 16 bits to the nearest 8-bit value.
std::uint8_t to8(unsigned v, unsigned depth, bool& inexact) {
  if (depth == 16) {
    inexact = inexact || v % 257 != 0;
    return static_cast<std::uint8_t>((v + 128) / 257);
  }
  return widen(v, depth);
}

// Turns one unfiltered row of a pass into pixels.
base::Done take_row(const Header& h, const Colours& colours, const std::uint8_t* row,
                    std::uint32_t count, std::size_t at, unsigned dx, Image& image) {
  const unsigned d = h.depth;
  if (h.type == ColourType::rgba && d == 8 && dx == 1) {
    std::memcpy(image.pixels.data() + at, row, 4 * std::size_t{count});
    return {};
  }
  for (std::uint32_t x = 0; x < count; ++x, at += dx) {
    Rgba& p = image.pixels[at];
    bool inexact = false;
    switch (h.type) {
      case ColourType::grey: {
        const unsigned v = sample(row, x, d);
        p.r = p.g = p.b = to8(v, d, inexact);
        p.a = colours.has_key && v == colours.key[0] ? 0 : 255;
        break;
      }
      case ColourType::palette: {
        const unsigned k = sample(row, x, d);
        if (k >= colours.palette.size()) {
          return base::refuse(
              cat({"a pixel uses palette entry ", std::to_string(k), ", but the palette has only ",
                   std::to_string(colours.palette.size())}));
        }
        image.indices[at] = static_cast<std::uint8_t>(k);
        p = colours.palette[k];
        break;
      }
      case ColourType::rgb: {
        const unsigned r = sample(row, 3 * std::size_t{x}, d);
        const unsigned g = sample(row, 3 * std::size_t{x} + 1, d);
        const unsigned b = sample(row, 3 * std::size_t{x} + 2, d);
        p = {to8(r, d, inexact), to8(g, d, inexact), to8(b, d, inexact), 255};
        if (colours.has_key && r == colours.key[0] && g == colours.key[1] && b == colours.key[2]) {
          p.a = 0;
        }
        break;
      }
      case ColourType::grey_alpha:
        p.r = p.g = p.b = to8(sample(row, 2 * std::size_t{x}, d), d, inexact);
        p.a = to8(sample(row, 2 * std::size_t{x} + 1, d), d, inexact);
        break;
      case ColourType::rgba:
        if (d == 8) {
          std::memcpy(&p, row + 4 * std::size_t{x}, 4);
        } else {
          p = {to8(sample(row, 4 * std::size_t{x}, d), d, inexact),
               to8(sample(row, 4 * std::size_t{x} + 1, d), d, inexact),
               to8(sample(row, 4 * std::size_t{x} + 2, d), d, inexact),
               to8(sample(row, 4 * std::size_t{x} + 3, d), d, inexact)};
        }
        break;
    }
    if (inexact) {
      if (image.inexact.empty()) image.inexact.resize(image.pixels.size());
      image.inexact[at] = 1;
    }
  }
  return {};
}

base::Done filter_fault(std::uint8_t type) {
  return base::refuse(cat({"a row of its image data has filter type ", std::to_string(type),
                           ", which PNG does not have"}));
}

// Undoes the filters of every row of an interlaced image and makes the pixels.
base::Done make_image(const Header& h, const Colours& colours, std::uint8_t* raw, Image& image) {
  image.width = h.width;
  image.height = h.height;
  image.pixels.resize(std::size_t{h.width} * h.height);
  if (h.type == ColourType::palette) image.indices.resize(image.pixels.size());
  const unsigned bpp = std::max(1u, png_detail::channels(h.type) * h.depth / 8);
  std::size_t at = 0;
  for (const Pass& pass : passes(h)) {
    const std::uint32_t w = count_in(h.width, pass.x0, pass.dx);
    const std::uint32_t rows = count_in(h.height, pass.y0, pass.dy);
    if (w == 0) continue;
    const std::size_t n = static_cast<std::size_t>(row_bytes(h, w));
    const Bytes zeros(n, 0);
    const std::uint8_t* prev = zeros.data();
    for (std::uint32_t r = 0; r < rows; ++r) {
      std::uint8_t* line = raw + at + 1;
      const std::uint8_t type = raw[at];
      if (type > 4) return filter_fault(type);
      png_detail::unfilter(type, line, prev, n, bpp);
      const std::size_t y = pass.y0 + std::size_t{r} * pass.dy;
      if (auto row = take_row(h, colours, line, w, y * h.width + pass.x0, pass.dx, image); !row) {
        return base::refuse(row.why());
      }
      prev = line;
      at += n + 1;
    }
  }
  return {};
}

// The rows of a plain image as they come, each unfiltered after the one before and handed to the
// sink as pixels.
class RowReader {
 public:
  RowReader(const Header& h, const Colours& colours, RowSink& sink)
      : h_(h),
        colours_(colours),
        sink_(sink),
        n_(static_cast<std::size_t>(row_bytes(h, h.width))),
        bpp_(std::max(1u, png_detail::channels(h.type) * h.depth / 8)),
        prev_(n_, 0) {
    row_.width = h.width;
    row_.height = 1;
    row_.pixels.resize(h.width);
    if (h.type == ColourType::palette) row_.indices.resize(h.width);
  }

  base::Done take(std::uint8_t* data, std::size_t rows) {
    const std::uint8_t* prev = prev_.data();
    for (std::size_t r = 0; r < rows; ++r, ++y_) {
      std::uint8_t* line = data + r * (n_ + 1) + 1;
      if (line[-1] > 4) return filter_fault(line[-1]);
      png_detail::unfilter(line[-1], line, prev, n_, bpp_);
      std::fill(row_.inexact.begin(), row_.inexact.end(), 0);
      if (auto made = take_row(h_, colours_, line, h_.width, 0, 1, row_); !made) return made;
      sink_.row(y_, row_.pixels.data(), row_.indexed() ? row_.indices.data() : nullptr,
                row_.inexact.empty() ? nullptr : row_.inexact.data());
      prev = line;
    }
    std::memcpy(prev_.data(), prev, n_);
    return {};
  }

 private:
  const Header& h_;
  const Colours& colours_;
  RowSink& sink_;
  std::size_t n_;
  unsigned bpp_;
  Bytes prev_;
  Image row_;  // one row
  unsigned y_ = 0;
};

// The rows, handed to the sink as they come (all at once for an interlaced image).
std::unique_ptr<Inflater> start_rows(const Header& h, const Colours& colours, std::uint64_t file,
                                     RowSink& sink, std::unique_ptr<RowReader>& reader) {
  const std::uint64_t raw = raw_size(h);
  if (h.interlaced) {
    return std::make_unique<Inflater>(
        raw, file, raw, [&h, &colours, &sink](std::uint8_t* data, std::size_t) -> base::Done {
          Image image;
          if (auto made = make_image(h, colours, data, image); !made) return made;
          for (unsigned y = 0; y < h.height; ++y) {
            const std::size_t at = std::size_t{y} * h.width;
            sink.row(y, image.pixels.data() + at,
                     image.indexed() ? image.indices.data() + at : nullptr,
                     image.inexact.empty() ? nullptr : image.inexact.data() + at);
          }
          return {};
        });
  }
  reader = std::make_unique<RowReader>(h, colours, sink);
  return std::make_unique<Inflater>(
      raw, file, row_bytes(h, h.width) + 1,
      [r = reader.get()](std::uint8_t* data, std::size_t rows) { return r->take(data, rows); });
}

// Collects the rows into an image.
class ImageSink : public RowSink {
 public:
  explicit ImageSink(Image& image) : image_(image) {}
  // Memory follows the rows that come, not the size the header claims.
  void begin(unsigned width, unsigned height, const std::vector<Rgba>& palette) override {
    image_.width = width;
    image_.height = height;
    image_.palette = palette;
  }
  void row(unsigned y, const Rgba* pixels, const std::uint8_t* entries,
           const std::uint8_t* inexact) override {
    const std::size_t w = image_.width;
    image_.pixels.insert(image_.pixels.end(), pixels, pixels + w);
    if (entries != nullptr) image_.indices.insert(image_.indices.end(), entries, entries + w);
    if (inexact == nullptr && image_.inexact.empty()) return;
    image_.inexact.resize(std::size_t{y} * w);
    if (inexact == nullptr) {
      image_.inexact.resize(image_.inexact.size() + w);
    } else {
      image_.inexact.insert(image_.inexact.end(), inexact, inexact + w);
    }
  }

 private:
  Image& image_;
};

base::Done read_colours(const Header& h, const char* type, ByteSpan data, Colours& colours) {
  if (std::memcmp(type, "PLTE", 4) == 0) {
    if (h.type == ColourType::grey || h.type == ColourType::grey_alpha) {
      return base::refuse("a greyscale image holds a palette (PLTE)");
    }
    if (!colours.palette.empty()) return base::refuse("it holds two palettes (PLTE)");
    const std::size_t entries = data.size() / 3;
    if (data.size() % 3 != 0 || entries == 0 || entries > 256 ||
        (h.type == ColourType::palette && entries > (std::size_t{1} << h.depth))) {
      return base::refuse("its palette (PLTE) is not 1 to 2^depth entries of 3 bytes");
    }
    if (h.type != ColourType::palette) return {};  // a suggestion for true-colour displays
    for (std::size_t k = 0; k < entries; ++k) {
      colours.palette.push_back({data[3 * k], data[3 * k + 1], data[3 * k + 2], 255});
    }
    return {};
  }
  // tRNS
  switch (h.type) {
    case ColourType::palette:
      if (colours.palette.empty() || data.size() > colours.palette.size()) {
        return base::refuse("its transparency (tRNS) comes before the palette or is longer");
      }
      for (std::size_t k = 0; k < data.size(); ++k) colours.palette[k].a = data[k];
      break;
    case ColourType::grey:
    case ColourType::rgb: {
      const std::size_t samples = h.type == ColourType::grey ? 1 : 3;
      if (data.size() != 2 * samples) {
        return base::refuse("its transparency (tRNS) is not one colour");
      }
      colours.has_key = true;
      for (std::size_t k = 0; k < samples; ++k) {
        colours.key[k] = bytes::load_be16(data.data() + 2 * k);
      }
      break;
    }
    default: break;  // an image with alpha has no use for it
  }
  return {};
}

}  // namespace

base::Done read_png(ByteSpan file, RowSink& sink, const PngLimits& limits) {
  if (file.size() < 8 || std::memcmp(file.data(), png_detail::kSignature, 8) != 0) {
    return base::refuse("not a PNG image (its first 8 bytes are not the PNG signature)");
  }
  std::size_t at = 8;
  Header h;
  Colours colours;
  std::unique_ptr<Inflater> inflater;
  std::unique_ptr<RowReader> reader;
  bool idat_done = false;  // a chunk other than IDAT followed the image data
  bool ended = false;
  while (!ended) {
    if (file.size() - at < 12) {
      return base::refuse(at == file.size() ? "the file ends before its IEND chunk"
                                            : "the file ends inside a chunk");
    }
    const std::uint32_t length = bytes::load_be32(file.data() + at);
    const char* type = reinterpret_cast<const char*>(file.data() + at + 4);
    const std::string name(type, 4);
    if (length > 0x7FFFFFFF || file.size() - at - 12 < length) {
      return base::refuse(
          cat({"the file ends inside its ", name, " chunk at offset ", offset_text(at)}));
    }
    const ByteSpan data(file.data() + at + 8, length);
    const std::uint32_t stored = bytes::load_be32(file.data() + at + 8 + length);
    if (crc::crc32(ByteSpan(file.data() + at + 4, length + 4)) != stored) {
      return base::refuse(cat(
          {"its ", name, " chunk at offset ", offset_text(at), " is damaged (its CRC is wrong)"}));
    }
    at += 12 + std::size_t{length};
    const bool first = !inflater && h.width == 0;
    if (first != (name == "IHDR")) {
      return base::refuse(first ? "it does not begin with an IHDR chunk"
                                : "it holds a second IHDR chunk");
    }
    if (name == "IHDR") {
      auto header = read_header(data, limits);
      if (!header) return base::refuse(header.why());
      h = *header;
    } else if (name == "IDAT") {
      if (idat_done) return base::refuse("its image data (IDAT) is split by other chunks");
      if (!inflater) {
        if (h.type == ColourType::palette && colours.palette.empty()) {
          return base::refuse("a palette image holds no palette (PLTE)");
        }
        sink.begin(h.width, h.height,
                   h.type == ColourType::palette ? colours.palette : std::vector<Rgba>{});
        inflater = start_rows(h, colours, file.size(), sink, reader);
      }
      if (auto fed = inflater->feed(data); !fed) return base::refuse(fed.why());
    } else if (name == "IEND") {
      ended = true;
    } else if (name == "PLTE" || name == "tRNS") {
      if (inflater) return base::refuse(cat({"its ", name, " chunk follows the image data"}));
      if (auto read = read_colours(h, type, data, colours); !read) return base::refuse(read.why());
    } else if ((type[0] & 0x20) == 0) {
      return base::refuse(cat(
          {"it holds a chunk this reader does not know (", name, ") that is needed to show it"}));
    }
    if (inflater && name != "IDAT") idat_done = true;
  }
  if (!inflater) return base::refuse("it holds no image data (IDAT)");
  if (!inflater->ended() || inflater->filled() != raw_size(h)) {
    return base::refuse("its image data ends before the image does");
  }
  return {};
}

base::Result<Image> read_png(ByteSpan file, const PngLimits& limits) {
  Image image;
  ImageSink sink(image);
  if (auto read = read_png(file, sink, limits); !read) return base::refuse(read.why());
  return image;
}

}  // namespace texcore
