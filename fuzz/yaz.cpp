// The encoder on arbitrary data: every file it writes, in every format and both modes, expands to
// the data again; best mode is never larger than classic mode; and on short data classic mode
// makes the tokens of its rule searched by brute force, and best mode the smallest Yaz0 file (and
// MIO0 within a mask word's 3 bytes of the smallest).
//
// An input whose first byte is odd is first expanded by a small program (its other bytes), so
// that the data has the long runs and repeats that plain fuzzing input seldom has.
#include <cstdint>
#include <vector>

#include "fuzz/check.hpp"
#include "tests/yazcore/slow_encoder.hpp"
#include "yazcore/decode.hpp"
#include "yazcore/encode.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using yazcore::Format;

// Each byte: 00xxxxxx a literal; 01nnnnnn the last byte n+1 more times; 10nnnnnn, d: a copy of
// n+3 bytes from d+1 back; 11nnnnnn, d: a copy of 8(n+1) bytes from 17d+1 back (past the window
// at times). Copies from before the start read zeros.
Bytes expand(const std::uint8_t* p, std::size_t size) {
  Bytes out;
  constexpr std::size_t kMost = 1 << 13;
  for (std::size_t i = 0; i < size && out.size() < kMost; ++i) {
    const unsigned op = p[i] >> 6;
    const std::size_t n = p[i] & 0x3F;
    if (op == 0) {
      out.push_back(static_cast<std::uint8_t>(n));
      continue;
    }
    std::size_t length = n + 1;
    std::size_t distance = 1;
    if (op >= 2) {
      const std::size_t d = i + 1 < size ? p[++i] : 0;
      length = op == 2 ? n + 3 : 8 * (n + 1);
      distance = op == 2 ? d + 1 : 17 * d + 1;
    }
    for (std::size_t k = 0; k < length; ++k) {
      out.push_back(out.size() >= distance ? out[out.size() - distance] : 0);
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Bytes input =
      size > 0 && (data[0] & 1) != 0 ? expand(data + 1, size - 1) : Bytes(data, data + size);
  const std::vector<yazcore::Token> classic = yazcore::classic_tokens(input);
  for (const Format format : {Format::yaz0, Format::yay0}) {
    const std::vector<yazcore::Token> best = yazcore::best_tokens(input, format);
    for (const auto* tokens : {&best, &classic}) {
      const Bytes file = yazcore::write_file(input, *tokens, format);
      FUZZ_CHECK(file.size() == yazcore::encoded_size(*tokens, format));
      const yazcore::Decoded d = yazcore::decode(file);
      FUZZ_CHECK(d.status == yazcore::Status::done);
      FUZZ_CHECK(d.out == input);
    }
    FUZZ_CHECK(yazcore::encoded_size(best, format) <= yazcore::encoded_size(classic, format));
    // Yaz0: the fewest bits are the fewest bytes. Yay0 spends its flags in words of 32 tokens,
    // which can cost up to 3 bytes of a word that fewer tokens would have saved.
    if (input.size() <= 300) {
      const std::uint64_t smallest = yazslow::smallest_size(input, format);
      FUZZ_CHECK(yazcore::encoded_size(best, format) <=
                 smallest + (format == Format::yay0 ? 3 : 0));
    }
  }
  // MIO0 (copies of up to 18 bytes) has the best mode alone.
  const std::vector<yazcore::Token> mio0 = yazcore::best_tokens(input, Format::mio0);
  const Bytes file = yazcore::write_file(input, mio0, Format::mio0);
  FUZZ_CHECK(file.size() == yazcore::encoded_size(mio0, Format::mio0));
  FUZZ_CHECK(file == yazcore::encode(input, Format::mio0, yazcore::Mode::best));
  const yazcore::Decoded d = yazcore::decode(file);
  FUZZ_CHECK(d.status == yazcore::Status::done && d.out == input);
  if (input.size() <= 300) {
    FUZZ_CHECK(file.size() <= yazslow::smallest_size(input, Format::mio0) + 3);
  }
  if (input.size() <= 600) FUZZ_CHECK(classic == yazslow::slow_classic(input));
  return 0;
}
