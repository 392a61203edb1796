// The invariants of a compiled message archive, whatever the source: the body is exactly as long
// as the lengths add up to, the offset file holds the lengths, and the table file is the running
// sum of the lengths (modulo 2^32, as the 32-bit words keep it) closed by one zero word.
#pragma once

#include <cstdint>
#include <vector>

#include "fuzz/check.hpp"
#include "msgcore/archive.hpp"

namespace fuzz {

inline void check_archive(const msg::Archive& archive) {
  std::uint64_t total = 0;
  for (const std::uint32_t length : archive.lengths) total += length;
  FUZZ_CHECK(total == archive.body.size());

  const std::size_t n = archive.lengths.size();
  const std::vector<std::uint8_t> offsets = msg::index_file(archive, false);
  FUZZ_CHECK(offsets.size() == 4 * n);
  const std::vector<std::uint8_t> table = msg::index_file(archive, true);
  FUZZ_CHECK(table.size() == 4 * n + 4);
  std::uint32_t running = 0;
  for (std::size_t k = 0; k < n; ++k) {
    FUZZ_CHECK(msg::get_be32(&offsets[4 * k]) == archive.lengths[k]);
    running += archive.lengths[k];
    FUZZ_CHECK(msg::get_be32(&table[4 * k]) == running);
  }
  FUZZ_CHECK(msg::get_be32(&table[4 * n]) == 0);
  FUZZ_CHECK(running == static_cast<std::uint32_t>(archive.body.size()));
}

// The table conversion of arbitrary index bytes: one word per 4 bytes (a last short word padded
// with zero bytes), each the running sum, then a zero word.
inline void check_table_convert(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> index(data, data + size);
  const std::uint32_t words = msg::table_convert(index);
  const std::size_t whole = (size + 3) / 4;
  FUZZ_CHECK(words == whole);
  FUZZ_CHECK(index.size() == 4 * whole + 4);
  std::uint32_t running = 0;
  for (std::size_t k = 0; k < whole; ++k) {
    std::uint32_t word = 0;
    for (std::size_t b = 0; b < 4; ++b) {
      const std::size_t at = 4 * k + b;
      word = (word << 8) | (at < size ? data[at] : 0u);
    }
    running += word;
    FUZZ_CHECK(msg::get_be32(&index[4 * k]) == running);
  }
  FUZZ_CHECK(msg::get_be32(&index[4 * whole]) == 0);
}

}  // namespace fuzz
