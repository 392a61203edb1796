#include "scancore/scan.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/bytes.hpp"
#include "yazcore/decode.hpp"
#include "yazcore/format.hpp"

namespace scancore {
namespace {

using yazcore::kHeaderSize;

constexpr std::uint32_t signature_of(const char (&text)[5]) {
  return std::uint32_t{static_cast<std::uint8_t>(text[0])} << 24 |
         std::uint32_t{static_cast<std::uint8_t>(text[1])} << 16 |
         std::uint32_t{static_cast<std::uint8_t>(text[2])} << 8 |
         std::uint32_t{static_cast<std::uint8_t>(text[3])};
}
constexpr std::uint32_t kYaz0 = signature_of(yazcore::kYaz0Signature);
constexpr std::uint32_t kYay0 = signature_of(yazcore::kYay0Signature);
constexpr std::uint32_t kMio0 = signature_of(yazcore::kMio0Signature);

std::optional<Format> format_at(const std::uint8_t* p) {
  switch (bytes::load_be32(p)) {
    case kYaz0: return Format::yaz0;
    case kYay0: return Format::yay0;
    case kMio0: return Format::mio0;
    default: return std::nullopt;
  }
}

// The most output per packed byte, from the token that yields the most per bit: a long copy of
// 273 bytes in 25 bits (Yaz0, Yay0), a copy of 18 bytes in 17 bits (MIO0).
std::uint64_t most_from(std::uint64_t packed, Format format) {
  if (format == Format::mio0) return packed * 8 * yazcore::kMio0MaxCopy / yazcore::kShortBits;
  return packed * 8 * yazcore::kMaxCopy / yazcore::kLongBits;
}

// The trial decode of a Yaz0 stream: the end of the token that completes `size` bytes.
std::optional<std::size_t> yaz0_end(ByteSpan image, std::size_t at, std::uint32_t size) {
  const std::uint8_t* const f = image.data();
  const std::size_t n = image.size();
  std::size_t ip = at + kHeaderSize;
  std::uint64_t op = 0;
  for (;;) {
    if (ip >= n) return std::nullopt;
    unsigned flags = f[ip++];
    if (flags == 0xFF) {  // eight literals
      const std::uint64_t take = std::min<std::uint64_t>(8, size - op);
      if (n - ip < take) return std::nullopt;
      ip += take;
      op += take;
      if (op == size) return ip;
      continue;
    }
    for (int i = 0; i < yazcore::kGroupTokens; ++i, flags <<= 1) {
      if (flags & 0x80) {
        if (ip >= n) return std::nullopt;
        ++ip;
        ++op;
      } else {
        if (n - ip < 2) return std::nullopt;
        const unsigned link = unsigned{f[ip]} << 8 | f[ip + 1];
        const std::size_t dist = (link & yazcore::kDistanceMask) + 1;
        std::size_t len = link >> yazcore::kLengthShift;
        if (len == 0) {
          if (n - ip < 3) return std::nullopt;
          len = std::size_t{f[ip + 2]} + yazcore::kLongBias;
          ip += 3;
        } else {
          len += yazcore::kShortBias;
          ip += 2;
        }
        if (dist > op || len > size - op) return std::nullopt;
        op += len;
      }
      if (op == size) return ip;
    }
  }
}

// The trial decode of a Yay0 or MIO0 block: mask words before the link table, links before the
// chunk table, chunks before the image's end. Its end: that of the chunks or of the links used.
template <bool kMio0>
std::optional<std::size_t> tables_end(ByteSpan image, std::size_t at, std::uint32_t size) {
  const std::uint8_t* const f = image.data();
  const std::size_t n = image.size();
  const std::size_t link = bytes::load_be32(f + at + 8);
  const std::size_t chunk = bytes::load_be32(f + at + 12);
  if (link < kHeaderSize || chunk < link || chunk > n - at) return std::nullopt;
  std::size_t mp = at + kHeaderSize;
  const std::size_t mask_end = at + link;
  std::size_t lp = at + link;
  const std::size_t link_end = at + chunk;
  std::size_t cp = at + chunk;
  std::uint64_t op = 0;
  const auto end = [&] { return std::max(cp, lp); };
  for (;;) {
    if (mask_end - mp < 4) return std::nullopt;
    std::uint32_t mask = bytes::load_be32(f + mp);
    mp += 4;
    if (mask == 0xFFFFFFFFu) {  // 32 literals
      const std::uint64_t take = std::min<std::uint64_t>(32, size - op);
      if (n - cp < take) return std::nullopt;
      cp += take;
      op += take;
      if (op == size) return end();
      continue;
    }
    for (int i = 0; i < yazcore::kMaskTokens; ++i, mask <<= 1) {
      if (mask & 0x80000000u) {
        if (cp >= n) return std::nullopt;
        ++cp;
        ++op;
      } else {
        if (link_end - lp < 2) return std::nullopt;
        const unsigned word = unsigned{f[lp]} << 8 | f[lp + 1];
        lp += 2;
        const std::size_t dist = (word & yazcore::kDistanceMask) + 1;
        std::size_t len = word >> yazcore::kLengthShift;
        if constexpr (kMio0) {
          len += yazcore::kMio0Bias;
        } else if (len == 0) {
          if (cp >= n) return std::nullopt;
          len = std::size_t{f[cp++]} + yazcore::kLongBias;
        } else {
          len += yazcore::kShortBias;
        }
        if (dist > op || len > size - op) return std::nullopt;
        op += len;
      }
      if (op == size) return end();
    }
  }
}

std::uint64_t round16(std::uint64_t n) { return (n + 15) & ~std::uint64_t{15}; }

}  // namespace

const char* format_name(Format format) {
  switch (format) {
    case Format::yay0: return "Yay0";
    case Format::mio0: return "MIO0";
    case Format::yaz0: break;
  }
  return "Yaz0";
}

std::optional<Format> parse_format(std::string_view name) {
  for (const Format f : {Format::yaz0, Format::yay0, Format::mio0}) {
    const std::string_view known = format_name(f);
    if (name.size() == known.size() &&
        std::equal(name.begin(), name.end(), known.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        })) {
      return f;
    }
  }
  return std::nullopt;
}

std::uint64_t most_expanded(ByteSpan image, std::size_t offset, Format format) {
  const std::size_t n = image.size();
  if (offset > n || n - offset <= kHeaderSize) return 0;
  const std::uint64_t rest = n - offset;
  const std::uint64_t most = most_from(rest - kHeaderSize, format);
  if (format == Format::yaz0) return most;
  const std::uint64_t link = bytes::load_be32(image.data() + offset + 8);
  const std::uint64_t chunk = bytes::load_be32(image.data() + offset + 12);
  if (link < kHeaderSize || chunk < link || chunk > rest) return 0;
  // Every token comes from a mask bit; a literal takes a chunk byte, a copy a link.
  const std::uint64_t longest = format == Format::mio0 ? yazcore::kMio0MaxCopy : yazcore::kMaxCopy;
  const std::uint64_t tokens = (link - kHeaderSize) / 4 * yazcore::kMaskTokens;
  const std::uint64_t links = (chunk - link) / 2;
  return std::min({most, tokens * longest, (rest - chunk) + links * longest});
}

std::optional<Block> trial(ByteSpan image, std::size_t offset, std::uint32_t max) {
  const std::size_t n = image.size();
  if (offset > n || n - offset <= kHeaderSize) return std::nullopt;
  const std::uint8_t* const head = image.data() + offset;
  const auto format = format_at(head);
  if (!format) return std::nullopt;
  const std::uint32_t size = bytes::load_be32(head + 4);
  if (size == 0 || size > max) return std::nullopt;
  std::optional<std::size_t> end;
  switch (*format) {
    case Format::yaz0: end = yaz0_end(image, offset, size); break;
    case Format::yay0: end = tables_end<false>(image, offset, size); break;
    case Format::mio0: end = tables_end<true>(image, offset, size); break;
  }
  if (!end) return std::nullopt;
  return Block{static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(*end), *format, size};
}

FreeArea free_area(ByteSpan image, std::uint64_t last_end) {
  FreeArea area;
  area.end = image.size();
  std::uint64_t start = image.size();
  if (!image.empty() && (image.back() == 0x00 || image.back() == 0xFF)) {
    area.fill = image.back();
    while (start > last_end && image[start - 1] == area.fill) --start;
  }
  area.start = start;
  area.aligned = std::min<std::uint64_t>(round16(start), area.end);
  return area;
}

Scan scan(ByteSpan image, const ScanOptions& options) {
  Scan result;
  const std::size_t n = image.size();
  const std::size_t align = std::max<std::size_t>(options.align, 1);
  std::uint64_t covered = 0;  // the end of the last block found
  for (std::size_t k = 0; n >= 4 && k <= n - 4; k += align) {
    const auto format = format_at(image.data() + k);
    if (!format || k < covered) continue;
    const std::uint64_t size = n - k >= 8 ? bytes::load_be32(image.data() + k + 4) : 0;
    // An impossible size is refused before anything is decoded.
    if (size == 0 || size > options.max || size > most_expanded(image, k, *format)) {
      ++result.rejected;
      continue;
    }
    const auto block = trial(image, k, options.max);
    if (!block) {
      ++result.rejected;
      continue;
    }
    result.blocks.push_back(*block);
    covered = block->end;
  }
  result.free = free_area(image, covered);
  return result;
}

NativeImage::NativeImage(ByteSpan file) : file_(file), order_(rom::detect_order(file)) {
  if (order_ == rom::ByteOrder::swapped16 || order_ == rom::ByteOrder::swapped32) {
    copy_ = rom::copied_image(file, rom::straightening_mode(order_));
  }
}

Bytes expand(ByteSpan image, const Block& block) {
  return yazcore::decode(image.subspan(block.offset, block.packed())).out;
}

std::string grouped(std::uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

std::string hex_offset(std::uint64_t offset) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(offset));
  return text;
}

}  // namespace scancore
