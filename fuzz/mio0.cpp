// The MIO0 decoder on arbitrary files (signed "MIO0" whatever their first bytes), against a plain
// decoder.
#include <cstdint>

#include "fuzz/unyaz_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::check_signed(data, size, "MIO0", oracle::plain_mio0);
  return 0;
}
