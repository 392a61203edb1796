// The Yaz0 and Yay0 decoders against the plain decoders of the tests, and the invariants of every
// decoding: the output never passes the size in the header, a decoding either completes it or
// reports a fault inside the file, and a file never expands beyond what its tokens can produce.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzz/check.hpp"
#include "tests/yazcore/plain_decoder.hpp"
#include "yazcore/decode.hpp"

namespace fuzz {

inline void check_decoded(const std::vector<std::uint8_t>& file, const yazcore::Decoded& d,
                          const oracle::Plain& plain) {
  FUZZ_CHECK(d.out.size() <= d.size);
  FUZZ_CHECK(d.out.size() <= file.size() * yazcore::kMaxExpansion);
  FUZZ_CHECK(d.status != yazcore::Status::no_memory);
  if (d.status == yazcore::Status::done) {
    FUZZ_CHECK(d.out.size() == d.size);
  } else {
    FUZZ_CHECK(d.at <= file.size());
  }
  FUZZ_CHECK(d.status == plain.status);
  if (d.status != yazcore::Status::done) FUZZ_CHECK(d.at == plain.at);
  FUZZ_CHECK(d.out == plain.out);
}

// Decodes `data` with its first bytes made `signature` ("Yay0", "MIO0"), so that every input
// reaches that layout's decoder, and checks it against `plain`.
template <class Plain>
void check_signed(const std::uint8_t* data, std::size_t size, const char* signature, Plain plain) {
  std::vector<std::uint8_t> file(data, data + size);
  for (std::size_t i = 0; i < 4 && i < size; ++i) file[i] = static_cast<std::uint8_t>(signature[i]);
  check_decoded(file, yazcore::decode(file), plain(file));
}

}  // namespace fuzz
