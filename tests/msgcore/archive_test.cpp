#include <gtest/gtest.h>

#include "msgcore/archive.hpp"
#include "support/testsupport.hpp"

using testsupport::hex;

TEST(Archive, OffsetAndTableFiles) {
  struct Case {
    std::vector<std::uint32_t> lengths;
    const char* offsets;
    const char* table;
  };
  const Case cases[] = {
      {{5, 0, 12},
       "00 00 00 05 00 00 00 00 00 00 00 0C",
       "00 00 00 05 00 00 00 05 00 00 00 11 00 00 00 00"},
      {{0}, "00 00 00 00", "00 00 00 00 00 00 00 00"},
      {{}, "", "00 00 00 00"},
      {{0x01020304, 0xFF}, "01 02 03 04 00 00 00 FF", "01 02 03 04 01 02 04 03 00 00 00 00"},
  };
  for (const auto& c : cases) {
    msg::Archive a;
    a.lengths = c.lengths;
    EXPECT_EQ(msg::index_file(a, false), hex(c.offsets));
    EXPECT_EQ(msg::index_file(a, true), hex(c.table));
  }
}

TEST(Archive, TableConversionReturnsEntryCountAndWrapsAt32Bits) {
  std::vector<std::uint8_t> empty;
  EXPECT_EQ(msg::table_convert(empty), 0u);
  EXPECT_EQ(empty, hex("00 00 00 00"));

  auto index = hex("FF FF FF FF 00 00 00 02");
  EXPECT_EQ(msg::table_convert(index), 2u);
  EXPECT_EQ(index, hex("FF FF FF FF 00 00 00 01 00 00 00 00"));
}
