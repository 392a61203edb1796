#include <gtest/gtest.h>

#include <array>

#include <map>
#include <set>
#include <sstream>

#include "diag_capture.hpp"
#include "msgcore/charmap.hpp"

namespace {

// The map as rows of sixteen code points after the lead byte E3: second byte, first third byte,
// then the sixteen codes ("-" where the character is not in the map).
const char* const kRows[] = {
    "81 80 - C4 00 C5 01 C6 02 C7 03 C8 04 05 E7 06 E8 07",
    "81 90 E9 08 EA 09 EB 0A EC 0B ED 0C EE 0D EF 0E F0 0F",
    "81 A0 F1 10 F2 CC 11 F3 12 F4 13 F5 14 15 16 17 18 19",
    "81 B0 F6 FB 1A F7 FC 1B F8 FD 1C F9 FE 1D FA FF 1E 1F",
    "82 80 23 24 5B C9 5D CA 5E CB 60 7B 7C 7D 7E C0 - C1",
    "82 90 - - C2 C3 - - - - - - - - - - - -",
    "82 A0 - 87 91 88 92 89 93 8A 94 8B 95 96 CE 97 CF 98",
    "82 B0 D0 99 D1 9A D2 9B D3 9C D4 9D D5 9E D6 9F D7 A0",
    "83 80 D8 A1 D9 8F A2 DA A3 DB A4 DC A5 A6 A7 A8 A9 AA",
    "83 90 DD E2 AB DE E3 AC DF E4 AD E0 E5 AE E1 E6 AF B0",
    "83 A0 B1 B2 B3 8C B4 8D B5 8E B6 B7 B8 B9 BA BB - BC",
    "83 B0 - - 86 BD BE - - - - - - 85 90 - - -",
};

std::map<int, int> expected_map() {
  std::map<int, int> m;
  for (const char* row : kRows) {
    std::istringstream in(row);
    std::string b2;
    std::string b3;
    in >> b2 >> b3;
    const int key = std::stoi(b2, nullptr, 16) * 256 + std::stoi(b3, nullptr, 16);
    std::string cell;
    for (int i = 0; in >> cell; ++i) {
      if (cell != "-") m[key + i] = std::stoi(cell, nullptr, 16);
    }
  }
  m[0x8081] = 0x84;  // ideographic comma
  m[0x8082] = 0x81;  // ideographic full stop
  m[0x808C] = 0x82;  // corner brackets
  m[0x808D] = 0x83;
  m[0x99AA] = 0x2F;  // eighth note
  m[0xBD9E] = 0x2A;  // fullwidth tilde
  return m;
}

}  // namespace

TEST(Charmap, HoldsExactlyTheTable) {
  const auto expected = expected_map();
  ASSERT_EQ(expected.size(), 169u);
  int found = 0;
  std::set<int> codes;
  for (int key = 0; key < 0x10000; ++key) {
    const int code = msg::charmap_lookup(static_cast<std::uint8_t>(key >> 8),
                                         static_cast<std::uint8_t>(key & 0xFF));
    const auto it = expected.find(key);
    if (it == expected.end()) {
      ASSERT_EQ(code, msg::kNoMatch) << std::hex << key;
    } else {
      ASSERT_EQ(code, it->second) << std::hex << key;
      ++found;
      codes.insert(code);
    }
  }
  EXPECT_EQ(found, 169);
  EXPECT_EQ(codes.size(), 169u);
  EXPECT_EQ(codes.count(0x80), 0u);
}

TEST(Charmap, NoMatchIsReportedOnce) {
  DiagCapture cap;
  EXPECT_EQ(msg::map_character(std::array<std::uint8_t, 3>{0xE3, 0x82, 0x8E}, cap.diag),
            msg::kNoMatch);  // small wa
  EXPECT_EQ(cap.text(),
            "\nunrecognised text character\tskipping\nnote: message 0: \"\xE3\x82\x8E\" is not a "
            "character of the game: skipped");
  DiagCapture quiet;
  EXPECT_EQ(msg::map_character(std::array<std::uint8_t, 3>{0xE3, 0x81, 0x82}, quiet.diag),
            0x00);  // hiragana a: code 0 is valid
  EXPECT_EQ(quiet.text(), "");
}
