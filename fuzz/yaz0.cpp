// The Yaz0 decoder on arbitrary files: files signed "Yaz0", and files of any other signature
// decoded in the forced layout. The decoding agrees with a plain decoder.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/check.hpp"
#include "fuzz/unyaz_check.hpp"
#include "yazcore/decode.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> file(data, data + size);
  // Yay0 and MIO0 files are the other harnesses'; here they are read as Yaz0.
  if (size >= 4 && (std::memcmp(data, "Yay0", 4) == 0 || std::memcmp(data, "MIO0", 4) == 0)) {
    std::memcpy(file.data(), "Yaz0", 4);
  }
  const yazcore::ByteSpan span(file);

  const yazcore::Decoded d = yazcore::decode(span);
  const bool forced = yazcore::classify(span) != yazcore::Layout::yaz0;
  fuzz::check_decoded(file, d, oracle::plain_yaz0(file, forced));

  return 0;
}
