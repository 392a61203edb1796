// The trial decodes behind scan() and trial(), by the rules of scan.hpp, in the forms that keep a
// whole scan linear in the image: a Yaz0 trial that stops after a number of flag groups, Yaz0
// trials merged where their streams meet, and a Yay0 or MIO0 trial that stops after a number of
// steps and goes on later from where it stood.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace scancore::trials {

using ByteSpan = std::span<const std::uint8_t>;

enum class Verdict { done, failed, paused };

struct Outcome {
  Verdict verdict = Verdict::failed;
  std::size_t end = 0;  // done: one past the block's last byte
};

// The Yaz0 trial of the header at `at` (whose 16 bytes are in the image) for `size` bytes,
// paused before the flag group after `groups` of them.
Outcome yaz0(ByteSpan image, std::size_t at, std::uint32_t size, std::size_t groups = SIZE_MAX);

// The Yaz0 trials of the headers at `offsets` (in increasing order, each with a size of 1 or
// more and its 16 bytes in the image), all run to the end in one pass: a stream read from a flag
// group's start goes on the same way whichever trial reads it, so the trials that stand at the
// same group start share its decode. The end of each block found, 0 for a trial that fails.
std::vector<std::uint32_t> yaz0_merged(ByteSpan image, std::span<const std::uint32_t> offsets);

// A Yay0 or MIO0 trial where it stands: the next mask word, link and chunk, the bytes made so
// far, and what is left of the mask word in hand.
struct TableTrial {
  std::uint32_t at = 0;
  std::uint32_t mask_at = 0, link_at = 0, chunk_at = 0;
  std::uint32_t made = 0;
  std::uint32_t mask = 0;  // its next flag in the top bit
  std::uint8_t left = 0;   // flags left in `mask`
  bool mio0 = false;
};

// The trial of the Yay0 (or, with `mio0`, MIO0) header at `at` (whose 16 bytes are in the
// image), not begun.
TableTrial start_tables(ByteSpan image, std::size_t at, bool mio0);

// Goes on with `t` for at most `steps` steps (a token each, or a mask word of 32 literals), which
// are taken off `steps`: paused when they run out first.
Outcome run_tables(ByteSpan image, TableTrial& t, std::uint64_t& steps);

}  // namespace scancore::trials
