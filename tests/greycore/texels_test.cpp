#include <gtest/gtest.h>

#include <random>

#include "tests/greycore/step_oracle.hpp"
#include "tga_fixture.hpp"

using namespace testsupport;
using greytest::Tga;

namespace {

// Converts `tga` with `key`, taking the data size from checkTGA.
Bytes convert(const Tga& tga, int key) {
  const Bytes file = tga.bytes();
  const auto got = greytest::check(file);
  EXPECT_EQ(got.check.verdict, greycore::Verdict::accepted);
  return greycore::convert(file, got.check.size, greytest::texels(key));
}

TEST(Chew, WorkedPixels) {
  struct Case {
    int key;
    const char* data;
    const char* out;
  };
  const Case cases[] = {
      {'1', "AB CD 12 08", "AC 00"},  // alpha 0x08 has a zero nibble: the texel is 0
      {'2', "AB CD 12 08", "B0"},
      {'2', "20 41 E0 40", "30"},  // 0x41 sets the alpha bit, 0x40
                                   // does not
      {'4', "AB CD 12 08", "A1"},
      {'3', "AB CD 12 08", "C0"},
      {'5', "07 08", "01"},
      {'5', "F7 FF", "FF"},
      {'5', "E7 E8", "EF"},
      {'1', "FF 0F 00 10", "00 01"},
  };
  for (const auto& c : cases) {
    for (bool footer : {true, false}) {
      EXPECT_EQ(to_hex(convert(Tga().data(hex(c.data)).footer(footer), c.key)), c.out)
          << char(c.key) << ": " << c.data << (footer ? " with footer" : "");
    }
  }
}

TEST(Chew, LastStepReadsTheFooterOrFFPastTheEnd) {
  struct Case {
    int key;
    const char* data;
    bool footer;
    const char* out;
  };
  // The footer's first byte is 0x99 here.
  const Case cases[] = {
      {'5', "10 20 30", true, "12 3A"},
      {'5', "10 20 30", false, "12 3F"},
      {'1', "AB CD 12", true, "AC 19"},
      {'1', "AB CD 12", false, "AC 1F"},
      {'2', "AB CD 12 08 E0 41", true, "B0 F0"},  // second step: E0 41 99 00
      {'2', "AB CD 12 08 E0 41", false, "B0 FF"},
      // Channel 1 starts one byte in and its end moves with it: the second step reads the
      // sixth data byte and the eighth, both past the end of the file here.
      {'3', "AB CD 12 08 E0", false, "C0 FF"},
      {'4', "AB CD 12 08 E0", false, "A1 EF"},
  };
  for (const auto& c : cases) {
    const Tga tga = Tga().data(hex(c.data)).footer(c.footer).footer_first(0x99);
    EXPECT_EQ(to_hex(convert(tga, c.key)), c.out)
        << char(c.key) << ": " << c.data << (c.footer ? " with footer" : "");
  }
}

TEST(Chew, MatchesAStepByStepWalkOnRandomImages) {
  std::mt19937 rng(20240601);
  for (int round = 0; round < 300; ++round) {
    Bytes data(1 + rng() % 700);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    const Bytes id(rng() % 3 == 0 ? rng() % 40 : 0, 0x55);
    const bool footer = rng() % 2 == 0;
    const auto first = static_cast<std::uint8_t>(rng());
    const Bytes file = Tga().id(id).data(data).footer(footer).footer_first(first).bytes();
    const auto size = greytest::check(file).check.size;
    // The footer's first byte is its extension area offset: inside the data, the data ends there.
    const std::int64_t start = 18 + static_cast<std::int64_t>(id.size());
    const std::int64_t end = start + static_cast<std::int64_t>(data.size());
    ASSERT_EQ(size, (footer && first > start && first < end ? first : end) - start);
    for (int key = '1'; key <= '5'; ++key) {
      ASSERT_EQ(to_hex(greycore::convert(file, size, greytest::texels(key))),
                to_hex(oracle::converted(file, size, key)))
          << "round " << round << " key " << char(key);
    }
    // A size reaching well past the end of the file reads 0xFF there.
    const std::int64_t beyond = size + 1 + static_cast<std::int64_t>(rng() % 64);
    for (int key = '1'; key <= '5'; ++key) {
      ASSERT_EQ(to_hex(greycore::convert(file, beyond, greytest::texels(key))),
                to_hex(oracle::converted(file, beyond, key)))
          << "round " << round << " key " << char(key) << " beyond";
    }
  }
}

TEST(Chew, EveryByteValue) {
  // All 65536 (first, second) byte pairs through each routine.
  Bytes data;
  for (unsigned v = 0; v < 0x10000; ++v) {
    data.push_back(static_cast<std::uint8_t>(v >> 8));
    data.push_back(static_cast<std::uint8_t>(v));
  }
  const Bytes file = Tga().data(data).no_footer().bytes();
  const auto size = static_cast<std::int64_t>(data.size());
  for (int key = '1'; key <= '5'; ++key) {
    EXPECT_EQ(greycore::convert(file, size, greytest::texels(key)),
              oracle::converted(file, size, key))
        << char(key);
  }
}

TEST(Chew, NothingForANonPositiveSizeOrAnotherKey) {
  const Bytes file = Tga().data(hex("AB CD 12 08")).bytes();
  for (int key = '1'; key <= '5'; ++key) {
    EXPECT_TRUE(greycore::convert(file, 0, greytest::texels(key)).empty());
    EXPECT_TRUE(greycore::convert(file, -5, greytest::texels(key)).empty());
  }
}

}  // namespace
