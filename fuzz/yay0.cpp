// The Yay0 decoder on arbitrary files (signed "Yay0" whatever their first bytes), against a plain
// decoder.
#include <cstdint>
#include <vector>

#include "fuzz/check.hpp"
#include "fuzz/unyaz_check.hpp"
#include "yazcore/decode.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> file(data, data + size);
  const char signature[] = "Yay0";
  for (std::size_t i = 0; i < 4 && i < size; ++i) file[i] = static_cast<std::uint8_t>(signature[i]);
  const yazcore::Decoded d = yazcore::decode(file);
  fuzz::check_decoded(file, d, oracle::plain_yay0(file));
  return 0;
}
