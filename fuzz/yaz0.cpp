// The Yaz0 decoder on arbitrary files: files signed "Yaz0", and files of any other signature
// decoded in the forced layout. The whole-file decoding and the decoding of the token stream
// handed over in pieces (as the program reads it) agree with a plain decoder.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/check.hpp"
#include "fuzz/unyaz_check.hpp"
#include "yazcore/decode.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> file(data, data + size);
  // Yay0 files are the other harness's.
  if (size >= 4 && std::memcmp(data, "Yay0", 4) == 0) file[3] = 'z';
  const yazcore::ByteSpan span(file);

  const yazcore::Decoded d = yazcore::decode(span);
  const bool forced = yazcore::classify(span) != yazcore::Layout::yaz0;
  fuzz::check_decoded(file, d, fuzz::plain_yaz0(file, forced));
  if (size < 4) return 0;

  // The token stream in pieces of 1 to 64 bytes, decoding on as each arrives.
  const yazcore::Header h =
      yazcore::read_header(span, size, forced ? yazcore::Layout::other : yazcore::Layout::yaz0);
  if (h.status != yazcore::Status::done) return 0;
  const std::size_t start = std::min(h.start, size);
  const std::size_t piece = 1 + size % 64;
  yazcore::Output out(h.size);
  std::size_t pos = start;
  std::size_t have = std::min(size, start + piece);
  yazcore::Step step;
  for (;;) {
    step = yazcore::yaz0dec(span.subspan(pos, have - pos), have == size, out);
    if (step.status != yazcore::Status::need_input) break;
    FUZZ_CHECK(have < size);
    pos += step.consumed;
    FUZZ_CHECK(pos <= have);
    have = std::min(size, have + piece);
  }
  FUZZ_CHECK(step.status == d.status);
  if (d.status != yazcore::Status::done) FUZZ_CHECK(pos + step.at == d.at);
  const yazcore::ByteSpan produced = out.bytes();
  FUZZ_CHECK(std::equal(produced.begin(), produced.end(), d.out.begin(), d.out.end()));
  return 0;
}
