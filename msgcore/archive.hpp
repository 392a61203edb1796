// The message archive: a body file holding every encoded message back to back, and an index file
// that locates them, either as message lengths (offset file) or as running end offsets (table
// file, closed by one zero entry). Every number is an unsigned 32-bit big-endian word.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace msg {

// The largest body the index can address: its offsets are 32-bit words.
inline constexpr std::uint64_t kMaxBody = 0xFFFFFFFFu;

// Why a too large archive is not written.
inline constexpr const char* kTooLarge =
    "the message body would pass 4 GiB, more than the index can address; nothing written";

struct Archive {
  std::vector<std::uint8_t> body;
  std::vector<std::uint32_t> lengths;  // one per message, in source order
  // The body grew past the largest size the index can address, and compiling stopped there. (A
  // hex run or tag that runs on past its line is encoded again by every later message that
  // reaches it, so a small source can make a very large body.)
  bool too_large = false;
};

// Receives a body in pieces, so that a large body need not be held whole.
using BodySink = std::function<void(std::span<const std::uint8_t>)>;

// Bytes of body held before they go to a BodySink.
inline constexpr std::size_t kBodyPiece = std::size_t{1} << 20;

// Receives the message lengths in pieces, so that a source of very many messages need not hold
// them all.
using LengthSink = std::function<void(std::span<const std::uint32_t>)>;

// Lengths held before they go to a LengthSink.
inline constexpr std::size_t kLengthPiece = std::size_t{1} << 18;

void put_be32(std::vector<std::uint8_t>& out, std::uint32_t value);
std::uint32_t get_be32(const std::uint8_t* p);

// The offset file: the length word of message k at byte 4k.
std::vector<std::uint8_t> offset_index(std::span<const std::uint32_t> lengths);

// The table conversion, in place: each length word becomes the running total of the lengths up to
// and including it, and one zero word is appended. Returns the number of words converted. A last
// word cut short by the end of the index reads as if padded with zero bytes.
std::uint32_t table_convert(std::vector<std::uint8_t>& index);

// The index file of `archive` in table form (`table_mode`) or offset form.
std::vector<std::uint8_t> index_file(const Archive& archive, bool table_mode);

}  // namespace msg
