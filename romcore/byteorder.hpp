// The three byte orders of N64 ROM images and putting an image back into the console's native
// (big-endian) order. The image is handled as a flat run of 4-byte groups; only its first four
// bytes are read for meaning, and they tell the order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace rom {

// Byte orders, told apart by the first four bytes of the image.
enum class ByteOrder {
  native,     // 80 37 12 40
  swapped16,  // 37 80 40 12: the two bytes of each 16-bit half exchanged
  swapped32,  // 40 12 37 80: each 4-byte group reversed
  unknown,    // anything else, and images shorter than four bytes
};

// How each 4-byte group b0 b1 b2 b3 is written out.
enum class CopyMode {
  unchanged,  // b0 b1 b2 b3
  swap16,     // b1 b0 b3 b2
  swap32,     // b3 b2 b1 b0
};

// Images are measured with a 32-bit length, so 4 GiB and more cannot be handled.
inline constexpr std::uint64_t kMaxImageLength = 0xFFFFFFFFull;

// The byte order told by the first four bytes of `image` (unknown when it is shorter).
ByteOrder detect_order(std::span<const std::uint8_t> image);

// The mode that straightens an image of `order` ("unchanged" for native and unknown images).
// Both swaps are their own inverse, so the same mode also turns a native image back into `order`.
CopyMode straightening_mode(ByteOrder order);

// Rewrites every whole 4-byte group of `groups` in place as `mode` says. A trailing part group
// (fewer than four bytes) is left as it is: the caller pads the last group first.
void straighten(std::span<std::uint8_t> groups, CopyMode mode);

// Rounds `length` up to whole 4-byte groups.
constexpr std::uint64_t rounded_to_groups(std::uint64_t length) {
  return (length + 3) & ~std::uint64_t{3};
}

// `image` padded with 0x00 to whole 4-byte groups, each group rewritten as `mode` says.
std::vector<std::uint8_t> copied_image(std::span<const std::uint8_t> image, CopyMode mode);

// A short name of the order for reports: "native (z64)", "16-bit byteswapped (v64)", "32-bit
// byteswapped (n64)", "unknown".
const char* order_name(ByteOrder order);

}  // namespace rom
