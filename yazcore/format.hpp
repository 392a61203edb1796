// The Yaz0, Yay0 and MIO0 formats: every number that decoding and encoding share.
//
// All three start with a 16-byte header: a four-character signature and the u32 big-endian size
// of the expanded data. Yaz0 passes over the next 8 bytes; Yay0 and MIO0 hold there the u32
// offsets (from the file's start) of their link table and of their chunk table.
//
// The data is a sequence of tokens: a literal byte, or a copy of 3 to 273 bytes from 1 to 4096
// bytes back (a copy may overlap the bytes it writes). A flag bit per token tells which: 1 is a
// literal. A copy is written as a u16 "link", (length - 2) << 12 | (distance - 1), whose length
// field 0 means a long copy: its length is 18 plus one more byte.
//
// Yaz0 keeps it all in one stream: a flag byte (most significant bit first) and then the bytes of
// its eight tokens, literal bytes and links high byte first, a long copy's length byte after its
// link. Yay0 keeps three: u32 big-endian mask words of 32 flag bits from byte 16, then the links,
// then the chunks (literal bytes and long-copy length bytes, in token order).
//
// MIO0 is Yay0's layout with shorter copies: 3 to 18 bytes, every link two bytes,
// (length - 3) << 12 | (distance - 1), and no long form; its chunk table holds literal bytes alone.
#pragma once

#include <cstddef>
#include <cstdint>

namespace yazcore {

inline constexpr std::size_t kHeaderSize = 16;
inline constexpr char kYaz0Signature[] = "Yaz0";
inline constexpr char kYay0Signature[] = "Yay0";
inline constexpr char kMio0Signature[] = "MIO0";

inline constexpr std::size_t kWindow = 4096;  // the farthest a copy reaches back
inline constexpr std::size_t kMinCopy = 3;    // the shortest copy
inline constexpr unsigned kShortBias = 2;     // a link's length field is the length - 2
inline constexpr std::size_t kMaxShort = 17;  // the longest copy a link's length field holds
inline constexpr std::size_t kLongBias = 18;  // a long copy's length byte is the length - 18
inline constexpr std::size_t kMaxCopy = 273;  // the longest copy: 18 + 255
inline constexpr int kLengthShift = 12;       // where a link's length field begins
inline constexpr unsigned kDistanceMask = 0x0FFF;

// MIO0: a link's length field is the length - 3, so 18 is the longest copy.
inline constexpr unsigned kMio0Bias = 3;
inline constexpr std::size_t kMio0MaxCopy = 15 + kMio0Bias;

inline constexpr int kGroupTokens = 8;  // Yaz0: tokens per flag byte
inline constexpr int kMaskTokens = 32;  // Yay0: tokens per mask word

// What a token costs in the Yaz0 stream, in bits (its flag bit included): a literal, a short copy
// (two bytes), a long copy (three bytes). Yay0 spends the same bytes in its three streams.
inline constexpr unsigned kLiteralBits = 9;
inline constexpr unsigned kShortBits = 17;
inline constexpr unsigned kLongBits = 25;

// No token can produce more than this many output bytes per input byte: eight long copies and
// their flag byte, 8 * 273 bytes from 25.
inline constexpr std::uint64_t kMaxExpansion = 88;
static_assert(kMaxExpansion * (1 + 3 * kGroupTokens) >= kMaxCopy * kGroupTokens);

// The link of a copy (its length field 0 for a long copy).
constexpr std::uint16_t link_of(std::size_t length, std::size_t distance) {
  const std::size_t field = length > kMaxShort ? 0 : length - kShortBias;
  return static_cast<std::uint16_t>(field << kLengthShift | (distance - 1));
}

// The link of a MIO0 copy (3 to 18 bytes).
constexpr std::uint16_t mio0_link_of(std::size_t length, std::size_t distance) {
  return static_cast<std::uint16_t>((length - kMio0Bias) << kLengthShift | (distance - 1));
}

}  // namespace yazcore
