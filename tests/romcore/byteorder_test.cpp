#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "romcore/byteorder.hpp"
#include "support/testsupport.hpp"
#include "tests/romcore/straighten_oracle.hpp"

using namespace testsupport;
using rom::ByteOrder;
using rom::CopyMode;

TEST(Straighten, MatchesGroupByGroupFormulationOnRandomImages) {
  std::mt19937 rng(7);
  const std::size_t lengths[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 63, 64, 65, 1021, 4096, 100003};
  for (const CopyMode mode : {CopyMode::unchanged, CopyMode::swap16, CopyMode::swap32}) {
    for (const std::size_t length : lengths) {
      Bytes image(length);
      for (auto& b : image) b = static_cast<std::uint8_t>(rng());
      EXPECT_EQ(rom::copied_image(image, mode), oracle::straightened(image, mode))
          << "mode " << static_cast<int>(mode) << ", length " << length;
    }
  }
}

TEST(Straighten, LastPartGroupIsPaddedWithZerosNeverOtherBytes) {
  // The earlier groups hold non-zero bytes, so a pad taken from anywhere else would show.
  EXPECT_EQ(to_hex(rom::copied_image(hex("37 80 40 12 AA"), CopyMode::swap16)),
            "80 37 12 40 00 AA 00 00");
  EXPECT_EQ(to_hex(rom::copied_image(hex("40 12 37 80 AA BB CC"), CopyMode::swap32)),
            "80 37 12 40 00 CC BB AA");
  EXPECT_EQ(to_hex(rom::copied_image(hex("01 02 03 04 05 06"), CopyMode::unchanged)),
            "01 02 03 04 05 06 00 00");
}

TEST(ByteOrder, TellsOrderByFirstWord) {
  struct Case {
    const char* head;
    ByteOrder order;
    CopyMode mode;
  };
  const Case cases[] = {
      {"80 37 12 40", ByteOrder::native, CopyMode::unchanged},
      {"80 37 12 40 FF FF", ByteOrder::native, CopyMode::unchanged},
      {"37 80 40 12 00", ByteOrder::swapped16, CopyMode::swap16},
      {"40 12 37 80", ByteOrder::swapped32, CopyMode::swap32},
      // Little-endian 16-bit words of a 32-bit swapped image and other near misses.
      {"12 40 80 37", ByteOrder::unknown, CopyMode::unchanged},
      {"80 37 12 41", ByteOrder::unknown, CopyMode::unchanged},
      {"00 00 00 00", ByteOrder::unknown, CopyMode::unchanged},
      // Too short to hold a first word.
      {"", ByteOrder::unknown, CopyMode::unchanged},
      {"80", ByteOrder::unknown, CopyMode::unchanged},
      {"37 80 40", ByteOrder::unknown, CopyMode::unchanged},
  };
  for (const auto& c : cases) {
    const ByteOrder order = rom::detect_order(hex(c.head));
    EXPECT_EQ(order, c.order) << c.head;
    EXPECT_EQ(rom::straightening_mode(order), c.mode) << c.head;
  }
}
