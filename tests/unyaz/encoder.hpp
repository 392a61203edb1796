// Yaz0 and Yay0 encoders for the tests and benchmarks: greedy matching over a 4096-byte window
// with hash chains. They make valid files, not the smallest ones.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace yazenc {

using Bytes = std::vector<std::uint8_t>;

// One token: a literal byte (len == 0) or a copy of `len` bytes from `dist` bytes back.
struct Token {
  std::uint16_t dist = 0;
  std::uint16_t len = 0;
  std::uint8_t literal = 0;
};

// Splits `data` into literals and copies (length 3 to 273, distance 1 to 4096).
std::vector<Token> tokenize(std::span<const std::uint8_t> data, int chain_depth = 16);

// Writes tokens in the Yaz0 layout with output size `size`.
Bytes yaz0_from_tokens(const std::vector<Token>& tokens, std::uint32_t size);
// Writes tokens in the Yay0 layout (masks, then links, then chunks).
Bytes yay0_from_tokens(const std::vector<Token>& tokens, std::uint32_t size);

Bytes yaz0(std::span<const std::uint8_t> data);
Bytes yay0(std::span<const std::uint8_t> data);

}  // namespace yazenc
