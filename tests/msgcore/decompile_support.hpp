// Shared by the decompiler suites: random archives, and their source written in memory.
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "msgcore/archive.hpp"
#include "msgcore/decompile.hpp"

namespace decompile_support {

// Up to `most` messages, a third of them empty, their bytes rich in control prefixes and in the
// ASCII range, where the characters with a meaning of their own in a source lie.
inline msg::Archive random_archive(std::mt19937& rng, unsigned most) {
  msg::Archive a;
  for (unsigned k = 0, count = rng() % (most + 1); k < count; ++k) {
    const unsigned length = rng() % 3 == 0 ? 0 : rng() % 30;
    for (unsigned i = 0; i < length; ++i) {
      const unsigned pick = rng() % 6;
      a.body.push_back(static_cast<std::uint8_t>(pick == 0   ? 0x7F
                                                 : pick == 1 ? rng() % 0x80
                                                             : rng()));
    }
    a.lengths.push_back(length);
  }
  return a;
}

// The source of `a`, written as the programs write it; no message may be refused.
inline std::string source_of(const msg::Archive& a, const msg::Layout& layout) {
  std::vector<std::uint32_t> ends;
  std::uint32_t end = 0;
  for (const std::uint32_t length : a.lengths) ends.push_back(end += length);
  std::string source;
  EXPECT_FALSE(
      msg::decompile(a.body, ends, layout, [&source](std::string_view piece) { source += piece; }));
  return source;
}

}  // namespace decompile_support
