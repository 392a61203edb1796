// Byte orders, the straightening kernel and the console texts.
#include <cstdio>
#include <cstring>

#include "romext/romext.hpp"

namespace romext {
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

std::string format_int_pair(const char* format, unsigned a, unsigned b) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

ByteOrder detect_order(std::span<const std::uint8_t> image) {
  if (image.size() < 4) return ByteOrder::unknown;
  const std::uint32_t word = (std::uint32_t{image[0]} << 24) | (std::uint32_t{image[1]} << 16) |
                             (std::uint32_t{image[2]} << 8) | std::uint32_t{image[3]};
  switch (word) {
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

std::uint32_t megabits(std::uint32_t length) { return length >> 17; }

std::string order_question(ByteOrder order) {
  const char* bits = order == ByteOrder::swapped16   ? "16"
                     : order == ByteOrder::swapped32 ? "32"
                                                     : nullptr;
  if (bits == nullptr) return {};
  return std::string("\a\nThe bugger is ") + bits +
         "bit byteswapped.\nShould I straighten it out? (Y/N)\t";
}

std::string extension_question(std::uint32_t length) {
  const std::uint32_t size = megabits(length);
  // Both figures fit easily: a 32-bit length is at most 32767 megabits.
  if (size > 256) {
    return format_int_pair(
        "\a\n512Mb is the normal maximum rom size.\nDo you want to kick it up from %uMb to %uMb? "
        "(Y/N)\t",
        size, size * 2);
  }
  return format_int_pair("\a\nShould I extend the rom from %uMb to %uMb? (Y/N)\t", size, size * 2);
}

std::string done_message(const std::string& output_name) {
  return "\a\nAll done.  The extended rom is at:\n\t" + output_name + "\nPress -Enter- to quit.";
}

}  // namespace romext
