// Yaz0, Yay0 and MIO0 encoding over bytes in memory (the formats: format.hpp).
//
// Two ways to choose the tokens:
// - best: the smallest file the format allows. A token's cost does not depend on its distance, so
//   the longest match at every position is all a parse needs; the parse with the fewest bits
//   (flag bits included) is found by dynamic programming. For Yaz0 that is the fewest bytes; Yay0
//   spends its flags in words of 32 tokens, so there it is within 3 bytes of the fewest, and where
//   classic mode's choices make a smaller file those are taken: best is never larger than classic.
//   MIO0 (copies of 3 to 18 bytes, every one two bytes) has the same flag words: its parse is the
//   one with the fewest bits, within 3 bytes of the fewest bytes.
// - classic: the choices of the encoder that most tools have long used, byte for byte. At each
//   position p: the longest match among positions p-4096 to p-1 (at most 273 bytes and at most
//   the bytes left; among equal lengths the farthest back; shorter than 3 is none). When there is
//   one of length n, the match at p+1 is looked at too: if it is at least n+2 long, the byte at p
//   becomes a literal and that match is taken at p+1; otherwise the match at p is taken. MIO0 has
//   no classic mode: it is always written in the best mode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "yazcore/format.hpp"

namespace yazcore {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

enum class Format { yaz0, yay0, mio0 };

// The longest copy that a two-byte link holds: 17 (Yaz0, Yay0) or 18 (MIO0).
constexpr std::size_t short_limit(Format format) {
  return format == Format::mio0 ? kMio0MaxCopy : kMaxShort;
}
enum class Mode { best, classic };

// The largest input the header's size field can describe.
inline constexpr std::uint64_t kMaxInput = UINT32_MAX;

// One token: a literal (length 0; the byte is the data's at that point) or a copy.
struct Token {
  std::uint16_t length = 0;
  std::uint16_t distance = 0;
  friend bool operator==(const Token&, const Token&) = default;
};

// Called now and then with the number of input bytes dealt with so far.
using Progress = std::function<void(std::uint64_t done)>;

// The tokens each mode chooses for `data`, on `threads` threads (0: as many as the machine runs
// at once); the same tokens with any number.
std::vector<Token> classic_tokens(ByteSpan data, unsigned threads = 0);
std::vector<Token> best_tokens(ByteSpan data, Format format = Format::yaz0, unsigned threads = 0);

// The size of a file made of `tokens` (for MIO0, copies of 18 bytes at most).
std::uint64_t encoded_size(std::span<const Token> tokens, Format format);

// Writes `tokens` (which must spell out `data`, within the format's copy lengths) as a whole file.
Bytes write_file(ByteSpan data, std::span<const Token> tokens, Format format);

// Compresses `data` (at most kMaxInput bytes). Throws std::bad_alloc when memory runs out.
Bytes encode(ByteSpan data, Format format, Mode mode, const Progress& progress = {});

}  // namespace yazcore
