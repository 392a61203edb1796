// The invariants of a compiled message archive, whatever the source: the body is exactly as long
// as the lengths add up to, and the same messages written by the archive writer in either form
// give the offset file (the lengths) and the table file (the running sum of the lengths, modulo
// 2^32 as the 32-bit words keep it, closed by one zero word), in one piece or streamed.
#pragma once

#include <cstdint>
#include <vector>

#include "base/bytes.hpp"
#include "fuzz/check.hpp"
#include "msgcore/archive.hpp"

namespace fuzz {

// The index that the writer makes of `archive`'s messages in `table_mode`, streamed to sinks.
inline std::vector<std::uint8_t> rewritten_index(const msg::Archive& archive, bool table_mode) {
  std::vector<std::uint8_t> body;
  std::vector<std::uint8_t> index;
  msg::ArchiveWriter out(
      table_mode, [&body](auto piece) { body.insert(body.end(), piece.begin(), piece.end()); },
      [&index](auto piece) { index.insert(index.end(), piece.begin(), piece.end()); });
  std::size_t at = 0;
  for (const std::uint32_t length : archive.lengths) {
    out.body().insert(out.body().end(), archive.body.begin() + static_cast<std::ptrdiff_t>(at),
                      archive.body.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
    FUZZ_CHECK(out.end_message());
  }
  out.finish();
  FUZZ_CHECK(body == archive.body);
  return index;
}

inline void check_archive(const msg::Archive& archive) {
  std::uint64_t total = 0;
  for (const std::uint32_t length : archive.lengths) total += length;
  FUZZ_CHECK(total == archive.body.size());

  const std::size_t n = archive.lengths.size();
  const std::vector<std::uint8_t> offsets = rewritten_index(archive, false);
  FUZZ_CHECK(offsets.size() == 4 * n);
  const std::vector<std::uint8_t> table = rewritten_index(archive, true);
  FUZZ_CHECK(table.size() == 4 * n + 4);
  std::uint32_t running = 0;
  for (std::size_t k = 0; k < n; ++k) {
    FUZZ_CHECK(bytes::load_be32(&offsets[4 * k]) == archive.lengths[k]);
    running += archive.lengths[k];
    FUZZ_CHECK(bytes::load_be32(&table[4 * k]) == running);
  }
  FUZZ_CHECK(bytes::load_be32(&table[4 * n]) == 0);
  FUZZ_CHECK(running == static_cast<std::uint32_t>(archive.body.size()));
}

}  // namespace fuzz
