// romext: copies an N64 ROM image, on request putting a byte-swapped image back into the
// console's native (big-endian) byte order, and on request doubling its size with zero bytes.
//
// The image is handled as a flat run of 4-byte groups; only its first four bytes are read for
// meaning, and they tell the byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace romext {

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

// The ending appended to the cut input name to make the output name.
inline constexpr const char* kOutputEnding = "-ext.n64";

// The copy goes through memory in blocks of this many bytes (a multiple of 4).
inline constexpr std::size_t kBlockSize = std::size_t{1} << 20;

// The byte order told by the first four bytes of `image` (unknown when it is shorter).
ByteOrder detect_order(std::span<const std::uint8_t> image);

// The mode that straightens an image of `order` ("unchanged" for native and unknown images).
CopyMode straightening_mode(ByteOrder order);

// Rewrites every whole 4-byte group of `groups` in place as `mode` says. A trailing part group
// (fewer than four bytes) is left as it is: the caller pads the last group first.
void straighten(std::span<std::uint8_t> groups, CopyMode mode);

// Rounds `length` up to whole 4-byte groups.
constexpr std::uint64_t rounded_to_groups(std::uint64_t length) {
  return (length + 3) & ~std::uint64_t{3};
}

// What the copy writes for `image`: the image padded with 0x00 to whole 4-byte groups, each group
// rewritten as `mode` says.
std::vector<std::uint8_t> copied_image(std::span<const std::uint8_t> image, CopyMode mode);

// The size in megabits shown in the extension question: the length divided by 131072, truncated.
std::uint32_t megabits(std::uint32_t length);

// The console texts, byte for byte.
inline constexpr const char* kInputPrompt = "\nN64 ROM? ";
inline constexpr const char* kOutputPrompt = "\nextended filename? ";
inline constexpr const char* kCopying = "\n\tCopying file...    ";
inline constexpr const char* kExtending = "\nExtending file...    ";

// The byte-order question for a byte-swapped image; empty for native and unknown images, which
// are not asked about.
std::string order_question(ByteOrder order);
// The extension question for an image of `length` bytes (its wording changes above 256 megabits).
std::string extension_question(std::uint32_t length);
// The closing message naming the output file.
std::string done_message(const std::string& output_name);

// The whole program. `args` are the command-line arguments after the program name; the last one
// names the input. Talks on standard input and output. Returns the exit status: 0 when the copy
// was written, 1 when the image is refused or cannot be read or written, 2 when standard input
// ended at a name prompt.
int run(const std::vector<std::string>& args);
int run(int argc, char** argv);

}  // namespace romext
