#include <gtest/gtest.h>

#include "romcrc/romcrc.hpp"
#include "support/testsupport.hpp"
#include "tests/romcore/rom_images.hpp"

using rom::Cic;
using romtest::Bytes;

TEST(RomcrcArguments, SwitchesNamesAndProblems) {
  struct Case {
    std::vector<std::string> args;
    bool fix;
    std::optional<Cic> cic;
    const char* input;   // "" for none
    const char* output;  // "" for none
    bool problem;
  };
  const Case cases[] = {
      {{"game.z64"}, false, {}, "game.z64", "", false},
      {{"--fix", "game.z64"}, true, {}, "game.z64", "", false},
      {{"game.z64", "/f"}, true, {}, "game.z64", "", false},
      {{"-F", "a.v64", "b.v64"}, true, {}, "a.v64", "b.v64", false},
      {{"--cic", "6105", "a"}, false, Cic::c6105, "a", "", false},
      {{"--cic=7103", "--cic", "CIC-6101", "a"}, false, Cic::c6101, "a", "", false},
      // An absolute path is a name, not a switch.
      {{"/roms/game.z64"}, false, {}, "/roms/game.z64", "", false},
      {{"a", "--cic"}, false, {}, "a", "", true},
      {{"a", "b"}, false, {}, "a", "b", true},
      {{"--fix", "a", "b", "c"}, true, {}, "a", "b", true},
  };
  for (const Case& c : cases) {
    const romcrc::Options o = romcrc::parse_arguments(c.args);
    const std::string& what = c.args.front();
    EXPECT_EQ(o.fix, c.fix) << what;
    EXPECT_EQ(o.cic, c.cic) << what;
    EXPECT_EQ(o.input.value_or(""), c.input) << what;
    EXPECT_EQ(o.output.value_or(""), c.output) << what;
    EXPECT_EQ(!o.problem.empty(), c.problem) << what << ": " << o.problem;
  }
}

TEST(RomcrcReport, WholeReportOfASwappedImage) {
  const Bytes native = romtest::made_up_image(0x98BC2C86, Cic::c6105, false);
  const Bytes file = romtest::in_order(native, rom::ByteOrder::swapped16);
  const auto examined = romcrc::examine(file, std::nullopt);
  ASSERT_EQ(examined.why(), "");
  const romcrc::Examination& x = *examined;
  const rom::CheckCode right = rom::compute_check(native, Cic::c6105).value();
  char codes[80];
  std::snprintf(codes, sizeof codes, "stored:       %08X %08X\ncomputed:     %08X %08X\n",
                right.crc1, right.crc2 ^ 1, right.crc1, right.crc2);
  EXPECT_EQ(romcrc::report("dir.v2/game.v64", x, false),
            "image:        dir.v2/game.v64\n"
            "byte order:   16-bit byteswapped (v64)\n"
            "title:        \"MADE-UP TEST IMAGE\"\n"
            "game code:    NZZE\n"
            "region:       E (North America)\n"
            "version:      1\n"
            "entry point:  0x80000400\n"
            "size:         1069056 bytes (8.16 Mbit)\n"
            "boot chip:    6105/7105 (found by its boot code CRC-32 98BC2C86)\n" +
                std::string(codes) + "check code:   wrong (--fix writes the computed one)\n");
  // Over the chip found, --cic says where the chip came from and whose boot code it is.
  const romcrc::Examination forced = *romcrc::examine(file, Cic::c7102);
  EXPECT_NE(
      romcrc::report("g", forced, true)
          .find("boot chip:    7102 (from --cic; boot code CRC-32 98BC2C86 is 6105/7105's)\n"),
      std::string::npos);
  EXPECT_EQ(forced.computed, rom::compute_check(native, Cic::c7102));
}

TEST(RomcrcReport, HostileTextIsShownEscaped) {
  // Control bytes, a terminal escape and other encodings never reach the terminal as they are.
  EXPECT_EQ(romcrc::shown_text(testsupport::bytes_of("A\x1B[2J\\\"\x82\xA0\x7F z")),
            "A\\x1B[2J\\\\\\\"\\x82\\xA0\\x7F z");
}
