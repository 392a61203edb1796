// The best mode's two passes: the longest match at every position, then the parse with the fewest
// bits over them. For the encoder's own files only.
#pragma once

#include <cstdint>
#include <vector>

#include "yazcore/encode.hpp"

namespace yazcore::detail {

// The longest match at every position: its length (0 when shorter than 3) and distance.
struct Longest {
  std::vector<std::uint16_t> length;
  std::vector<std::uint16_t> distance;
};

// The longest match at every position of `data`, found on `threads` threads (0: as many as the
// machine runs at once).
Longest find_longest(ByteSpan data, const Progress& progress, unsigned threads = 0);

// Replaces `longest.length` with the length of the token that the cheapest parse chooses at each
// position (0: a literal). Two-byte copies hold up to `max_short` bytes; longer copies (three
// bytes, up to 273) only where the format has them.
void choose_best(Longest& longest, std::size_t max_short, bool long_copies);

// find_longest and choose_best together: the parse is chosen on one more thread as the matches
// are found, from the end of the data to its start.
Longest find_and_choose_best(ByteSpan data, const Progress& progress, unsigned threads,
                             std::size_t max_short, bool long_copies);

}  // namespace yazcore::detail
