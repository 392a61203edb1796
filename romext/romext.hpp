// romext: copies an N64 ROM image, on request putting a byte-swapped image back into the
// console's native (big-endian) byte order, and on request doubling its size with zero bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/shell.hpp"
#include "romcore/byteorder.hpp"

namespace romext {

using rom::ByteOrder;
using rom::copied_image;
using rom::CopyMode;
using rom::detect_order;
using rom::kMaxImageLength;
using rom::rounded_to_groups;
using rom::straighten;
using rom::straightening_mode;

// The ending appended to the cut input name to make the output name.
inline constexpr const char* kOutputEnding = "-ext.n64";

// The copy goes through memory in blocks of this many bytes (a multiple of 4).
inline constexpr std::size_t kBlockSize = std::size_t{1} << 20;

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
int run(const shell::Args& args);

extern const shell::Program kProgram;

}  // namespace romext
