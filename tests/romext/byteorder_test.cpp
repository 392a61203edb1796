#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "romext/romext.hpp"
#include "support/testsupport.hpp"
#include "tests/romcore/straighten_oracle.hpp"

using namespace testsupport;
using rom::ByteOrder;
using rom::CopyMode;

TEST(RomextStraighten, MatchesGroupByGroupFormulationOnRandomImages) {
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

TEST(RomextStraighten, LastPartGroupIsPaddedWithZerosNeverOtherBytes) {
  // The earlier groups hold non-zero bytes, so a pad taken from anywhere else would show.
  EXPECT_EQ(to_hex(rom::copied_image(hex("37 80 40 12 AA"), CopyMode::swap16)),
            "80 37 12 40 00 AA 00 00");
  EXPECT_EQ(to_hex(rom::copied_image(hex("40 12 37 80 AA BB CC"), CopyMode::swap32)),
            "80 37 12 40 00 CC BB AA");
  EXPECT_EQ(to_hex(rom::copied_image(hex("01 02 03 04 05 06"), CopyMode::unchanged)),
            "01 02 03 04 05 06 00 00");
}

TEST(RomextByteOrder, TellsOrderByFirstWord) {
  struct Case {
    const char* head;
    ByteOrder order;
    CopyMode mode;
    const char* question;
  };
  const std::string ask16 =
      "\a\nThe bugger is 16bit byteswapped.\nShould I straighten it out? (Y/N)\t";
  const std::string ask32 =
      "\a\nThe bugger is 32bit byteswapped.\nShould I straighten it out? (Y/N)\t";
  const Case cases[] = {
      {"80 37 12 40", ByteOrder::native, CopyMode::unchanged, ""},
      {"80 37 12 40 FF FF", ByteOrder::native, CopyMode::unchanged, ""},
      {"37 80 40 12 00", ByteOrder::swapped16, CopyMode::swap16, ask16.c_str()},
      {"40 12 37 80", ByteOrder::swapped32, CopyMode::swap32, ask32.c_str()},
      // Little-endian 16-bit words of a 32-bit swapped image and other near misses.
      {"12 40 80 37", ByteOrder::unknown, CopyMode::unchanged, ""},
      {"80 37 12 41", ByteOrder::unknown, CopyMode::unchanged, ""},
      {"00 00 00 00", ByteOrder::unknown, CopyMode::unchanged, ""},
      // Too short to hold a first word.
      {"", ByteOrder::unknown, CopyMode::unchanged, ""},
      {"80", ByteOrder::unknown, CopyMode::unchanged, ""},
      {"37 80 40", ByteOrder::unknown, CopyMode::unchanged, ""},
  };
  for (const auto& c : cases) {
    const ByteOrder order = rom::detect_order(hex(c.head));
    EXPECT_EQ(order, c.order) << c.head;
    EXPECT_EQ(rom::straightening_mode(order), c.mode) << c.head;
    EXPECT_EQ(romext::order_question(order), c.question) << c.head;
  }
}

TEST(RomextTexts, ExtensionQuestionWordingAndFigures) {
  struct Case {
    std::uint32_t length;
    const char* question;
  };
  const Case cases[] = {
      {0, "\a\nShould I extend the rom from 0Mb to 0Mb? (Y/N)\t"},
      {131071, "\a\nShould I extend the rom from 0Mb to 0Mb? (Y/N)\t"},
      {131072, "\a\nShould I extend the rom from 1Mb to 2Mb? (Y/N)\t"},
      {8u << 20, "\a\nShould I extend the rom from 64Mb to 128Mb? (Y/N)\t"},
      {32u << 20, "\a\nShould I extend the rom from 256Mb to 512Mb? (Y/N)\t"},
      {(32u << 20) + 131071, "\a\nShould I extend the rom from 256Mb to 512Mb? (Y/N)\t"},
      {(32u << 20) + 131072,
       "\a\n512Mb is the normal maximum rom size.\nDo you want to kick it up from 257Mb to 514Mb? "
       "(Y/N)\t"},
      {40u << 20,
       "\a\n512Mb is the normal maximum rom size.\nDo you want to kick it up from 320Mb to 640Mb? "
       "(Y/N)\t"},
      {0xFFFFFFFFu,
       "\a\n512Mb is the normal maximum rom size.\nDo you want to kick it up from 32767Mb to "
       "65534Mb? (Y/N)\t"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(romext::extension_question(c.length), c.question) << c.length;
  }
}
