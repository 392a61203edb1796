// What the two decompiler harnesses share: an archive made from the fuzzer's bytes, its index read
// back in both forms, and the source written for it.
//
// The input: one byte of flags (bit 0: line numbers), then messages, each a length byte and that
// many bytes (the last one takes what is left).
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fuzz/archive_check.hpp"
#include "fuzz/check.hpp"
#include "msgcore/archive.hpp"
#include "msgcore/decompile.hpp"

namespace fuzz {

struct Case {
  msg::Archive archive;
  std::vector<std::uint32_t> ends;
  bool line_numbers = false;
};

inline Case make_case(const std::uint8_t* data, std::size_t size) {
  Case c;
  if (size == 0) return c;
  c.line_numbers = (data[0] & 1) != 0;
  std::size_t at = 1;
  while (at < size) {
    const std::size_t wanted = data[at++];
    const std::size_t length = std::min(wanted, size - at);
    c.archive.body.insert(c.archive.body.end(), data + at, data + at + length);
    c.archive.lengths.push_back(static_cast<std::uint32_t>(length));
    c.ends.push_back(static_cast<std::uint32_t>(c.archive.body.size()));
    at += length;
  }
  // Both index forms read back to the same message ends.
  for (const bool table : {true, false}) {
    const msg::MessageEnds read =
        msg::read_index(rewritten_index(c.archive, table), table, c.archive.body.size());
    FUZZ_CHECK(!read.problem);
    FUZZ_CHECK(read.ends == c.ends);
  }
  // The raw input as an index: refused, or message ends that cover the body in order.
  const std::uint64_t body_size = size * 3;
  for (const bool table : {true, false}) {
    const msg::MessageEnds read = msg::read_index({data, size}, table, body_size);
    if (read.problem) continue;
    std::uint32_t previous = 0;
    for (const std::uint32_t end : read.ends) {
      FUZZ_CHECK(end >= previous && end <= body_size);
      previous = end;
    }
    FUZZ_CHECK(previous == body_size);
  }
  return c;
}

// The source of `c` in `form`; no message may be refused.
inline std::string decompile(const Case& c, msg::SourceForm form, msg::MessageCheck check) {
  std::string source;
  const auto refused = msg::decompile(c.archive.body, c.ends, {form, c.line_numbers, check},
                                      [&source](std::string_view piece) { source += piece; });
  FUZZ_CHECK(!refused);
  return source;
}

}  // namespace fuzz
