#include "romcore/byteorder.hpp"

#include <cstring>

#include "base/bytes.hpp"

namespace rom {
namespace {

// Exchanges the two bytes of each 16-bit half. The same on hosts of either byte order.
constexpr std::uint32_t swap_halves(std::uint32_t x) {
  return ((x & 0x00FF00FFu) << 8) | ((x >> 8) & 0x00FF00FFu);
}

// Reverses the four bytes. The same on hosts of either byte order.
constexpr std::uint32_t reverse_group(std::uint32_t x) {
  return (x << 24) | ((x & 0x0000FF00u) << 8) | ((x >> 8) & 0x0000FF00u) | (x >> 24);
}

template <std::uint32_t (*Rewrite)(std::uint32_t)>
void rewrite_groups(std::uint8_t* p, std::size_t groups) {
  for (std::size_t i = 0; i < groups; ++i, p += 4) {
    std::uint32_t x;
    std::memcpy(&x, p, 4);
    x = Rewrite(x);
    std::memcpy(p, &x, 4);
  }
}

}  // namespace

ByteOrder detect_order(std::span<const std::uint8_t> image) {
  if (image.size() < 4) return ByteOrder::unknown;
  switch (bytes::load_be32(image.data())) {
    case 0x80371240u: return ByteOrder::native;
    case 0x37804012u: return ByteOrder::swapped16;
    case 0x40123780u: return ByteOrder::swapped32;
    default: return ByteOrder::unknown;
  }
}

CopyMode straightening_mode(ByteOrder order) {
  switch (order) {
    case ByteOrder::swapped16: return CopyMode::swap16;
    case ByteOrder::swapped32: return CopyMode::swap32;
    default: return CopyMode::unchanged;
  }
}

void straighten(std::span<std::uint8_t> groups, CopyMode mode) {
  const std::size_t count = groups.size() / 4;
  switch (mode) {
    case CopyMode::swap16: rewrite_groups<swap_halves>(groups.data(), count); break;
    case CopyMode::swap32: rewrite_groups<reverse_group>(groups.data(), count); break;
    case CopyMode::unchanged: break;
  }
}

std::vector<std::uint8_t> copied_image(std::span<const std::uint8_t> image, CopyMode mode) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(rounded_to_groups(image.size())), 0);
  if (!image.empty()) std::memcpy(out.data(), image.data(), image.size());
  straighten(out, mode);
  return out;
}

const char* order_name(ByteOrder order) {
  switch (order) {
    case ByteOrder::native: return "native (z64)";
    case ByteOrder::swapped16: return "16-bit byteswapped (v64)";
    case ByteOrder::swapped32: return "32-bit byteswapped (n64)";
    case ByteOrder::unknown: break;
  }
  return "unknown";
}

}  // namespace rom
