#include <gtest/gtest.h>

#include <cstdio>

#include "msgcore/number.hpp"
#include "msgcore/sylk.hpp"
#include "support/testsupport.hpp"

using namespace testsupport;

namespace {

struct Read {
  std::string body;
  std::vector<std::uint32_t> lengths;
  bool ended_early;
  int waits;
  msg::Unclosed unclosed;
};

Read read(const std::string& table, int column) {
  std::FILE* err = std::tmpfile();
  int waits = 0;
  msg::Diagnostics diag(msg::DiagBuild::sylk, err, [&waits] {
    ++waits;
    return EOF;
  });
  const auto src = bytes_of(table);
  const msg::Table t = msg::read_table(src, column, diag);
  std::fclose(err);
  return {string_of(t.archive.body), t.archive.lengths, t.ended_early, waits, t.unclosed};
}

std::string encode(const std::string& value, bool* hit_end = nullptr) {
  std::FILE* err = std::tmpfile();
  msg::Diagnostics diag(msg::DiagBuild::sylk, err, [] { return EOF; });
  const auto src = bytes_of(value);
  msg::Body body;
  const auto m = msg::encode_sylk_message(src, 0, body, diag);
  std::fclose(err);
  EXPECT_EQ(m.length, body.size());
  if (hit_end) *hit_end = static_cast<bool>(m.unclosed);
  return to_hex(body);
}

const std::string kWorked = "ID;P\nC;Y1;X1;K1\nC;X2;K\"Hi!\"\nC;Y2;X1;K2\nC;X2;K\"A$dB\"\nE\n";

}  // namespace

TEST(SylkLoop, EncodesQuotedText) {
  struct Case {
    std::string value;
    const char* bytes;
  };
  const Case cases[] = {
      {"\"Hi!\"", "48 69 21"},
      {"\"x\"", "78"},
      {"\"\\n\\R\\x\"", "CD CD 5C"},
      {"\"$Q$q$5\"", "22 22 24"},
      {"\"~*+{}\"", "2A 85 5C 82 83"},
      {"\"#0aFF#\"", "0A FF"},
      {"\"#0a ff#\"", "0A FF"},
      {"\"#0x#\"", "00"},
      {"\"#1#x#y\"", "01 79"},  // the '#' after 1 is its second character
      {"\"##\"", ""},
      {"\"\xE9\x09\x01\xFF\"", "E9 09 01 FF"},  // every other byte is copied
      {"\"A$\"", "41 24"},                      // the closing quote is the follower
      {"\"A[jump 1A2B]\"", "41 7F 0E 1A 2B"},
      {"\"A[jump \"1A2B]B\"", "41 7F 0E 00 00"},  // a tag past the closing quote ends the text
      {"\"\"A\"", "22 41"},                       // an empty string: the text runs on
      {"1;\"later\"", "6C 61 74 65 72"},          // a value without quotes takes the next string
      {"\"a;;b\"", "61 3B 3B 62"},
  };
  for (const auto& c : cases) EXPECT_EQ(encode(c.value), to_hex(hex(c.bytes))) << c.value;
}

TEST(SylkLoop, EndOfTableEndsTheText) {
  const std::pair<std::string, const char*> cases[] = {
      {"\"abc", "61 62 63"},
      {"no quotes", ""},
      {"\"#41", "41"},
      {"\"A[jump 1", "41 7F 0E 00 01"},
      {"\"", ""},
  };
  for (const auto& [value, bytes] : cases) {
    bool hit_end = false;
    EXPECT_EQ(encode(value, &hit_end), to_hex(hex(bytes))) << value;
    EXPECT_TRUE(hit_end) << value;
  }
}

TEST(SylkReader, WorkedTableInBothColumnModes) {
  for (int column : {2, 1}) {
    const Read r = read(kWorked, column);
    EXPECT_EQ(to_hex(bytes_of(r.body)), "48 69 21 41 3B 42") << column;
    EXPECT_EQ(r.lengths, (std::vector<std::uint32_t>{3, 3})) << column;
    EXPECT_FALSE(r.ended_early);
  }
}

TEST(SylkReader, RecordsAndItems) {
  struct Case {
    const char* name;
    std::string table;
    int column;
    std::string body;
    std::vector<std::uint32_t> lengths;
  };
  const Case cases[] = {
      {"row before or after column", "C;X2;Y1;K\"a\"\nC;Y2;X2;K\"b\"\n", 2, "ab", {1, 1}},
      {"record without X keeps the column", "C;Y3;X2;K\"a\"\nC;K\"b\"\n", 2, "ab", {1, 1}},
      {"X in a format record", "F;X2\nC;K\"a\"\n", 2, "a", {1}},
      {"X of another column clears", "C;X2;K\"a\"\nF;X3\nC;K\"b\"\n", 2, "a", {1}},
      {"lower-case letters", "c;y1;x2;k\"a\"\n", 2, "a", {1}},
      {"rows out of order", "C;Y5;X2;K\"e\"\nC;Y1;X2;K\"a\"\n", 2, "ea", {1, 1}},
      {"row without a text cell", "C;Y1;X1;K1\nC;Y2;X1;K2\nC;X2;K\"b\"\n", 2, "b", {1}},
      {"number in column 1 is skipped", "C;Y1;X1;K1\n", 2, "", {}},
      {"number with line numbers off", "C;Y1;X1;K1\nC;X2;K\"t\"\n", 1, "t", {1}},
      {"';' inside a quoted value", "C;X2;K\"a;;b\";X3\nC;K\"no\"\n", 2, "a;;b", {4}},
      {"line feed inside a quoted value", "C;X2;K\"a\nb\"\n", 2, "a\nb", {3}},
      {"CRLF", "C;X2;K\"a\"\r\nC;X2;K\"b\"\r\n", 2, "ab", {1, 1}},
      {"LF+CR", "C;X2;K\"a\"\n\rC;X2;K\"b\"\n\r\r", 2, "ab", {1, 1}},
      {"junk X number", "C;X2junk;K\"a\"\n", 2, "a", {1}},
      {"long X number",
       "C;X000000000000000000002;K\"a\"\nC;X99999999999999999992;K\"b\"\n",
       2,
       "a",
       {1}},
      {"X number with blanks and sign", "C;X +2;K\"a\"\n", 2, "a", {1}},
      {"no text column at all", "ID;P\nC;Y1;X1;K1\nE\n", 2, "", {}},
      {"blank lines after the last record", "C;X2;K\"a\"\r\nE\r\n\r\n", 2, "a", {1}},
      {"blank line at the end, LF", "C;X2;K\"a\"\nE\n\n", 2, "a", {1}},
  };
  for (const auto& c : cases) {
    const Read r = read(c.table, c.column);
    EXPECT_EQ(r.body, c.body) << c.name;
    EXPECT_EQ(r.lengths, c.lengths) << c.name;
    EXPECT_FALSE(r.ended_early) << c.name;
  }
}

TEST(SylkReader, TablesThatEndEarlyEndThereAndSaySo) {
  struct Case {
    std::string table;
    std::string body;
    std::vector<std::uint32_t> lengths;
  };
  const Case cases[] = {
      {"C;X2;K\"a\"\nE", "a", {1}},  // no line end after the last record
      {"C;X2;K\"a\";", "a", {1}},    // a trailing ';'
      {"C;X2;K\"ab", "ab", {2}},     // inside a quoted run
      {"", "", {}},
  };
  for (const auto& c : cases) {
    const Read r = read(c.table, 2);
    EXPECT_EQ(to_hex(bytes_of(r.body)), to_hex(bytes_of(c.body))) << c.table;
    EXPECT_EQ(r.lengths, c.lengths) << c.table;
    EXPECT_TRUE(r.ended_early) << c.table;
  }
}

TEST(SylkReader, TextsCutOffByTheEndAreNotedAndTheWalkGoesOn) {
  struct Case {
    std::string table;
    std::string body;
    std::vector<std::uint32_t> lengths;
    std::size_t at;
    char opener;
  };
  const Case cases[] = {
      {"C;X2;K1\nE\n", "", {0}, 6, 0},           // no quotation mark for the text
      {"C;X2;K\"#41\"\nZ\n", "A", {1}, 7, '#'},  // a hex run never closed
      {"C;X2;K\"[x\"\nC;X2;K\"b\"\n", std::string("\0\0b", 3), {2, 1}, 7, '['},
  };
  for (const auto& c : cases) {
    const Read r = read(c.table, 2);
    EXPECT_EQ(to_hex(bytes_of(r.body)), to_hex(bytes_of(c.body))) << c.table;
    EXPECT_EQ(r.lengths, c.lengths) << c.table;
    EXPECT_FALSE(r.ended_early) << c.table;
    EXPECT_EQ(r.unclosed.at, c.at) << c.table;
    EXPECT_EQ(r.unclosed.opener, c.opener) << c.table;
  }
}

TEST(SylkReader, EveryReportWaitsForEnter) {
  const Read r = read("C;X2;K\"[jump][sound][x]\"\n", 2);
  EXPECT_EQ(r.waits,
            2);  // jump without ID, sound without number (silent); unknown tags say nothing
  EXPECT_EQ(r.lengths, (std::vector<std::uint32_t>{9}));
}

TEST(SylkReader, ItemNumbers) {
  const std::pair<std::string, long> cases[] = {
      {"2", 2},
      {" \t+12x", 12},
      {"-3", -3},
      {"", 0},
      {"x2", 0},
      {"99999999999999", 2147483647},
      {"-99999999999999", -2147483647 - 1},
      {"0000000000000000000001", 1},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(msg::parse_number(text, 10), value) << text;
}

TEST(SylkReader, StopsOnceTheBodyOutgrowsTheIndex) {
  // A hex run that runs on past its value is encoded again by every later value that reaches it.
  std::string table = "ID;P\n";
  for (int i = 0; i < 50; ++i) table += "C;X1;K\"a#\"\n";
  table += "C;X1;K\"#\"\nE\n";
  std::FILE* err = std::tmpfile();
  msg::Diagnostics diag(msg::DiagBuild::sylk, err, [] { return EOF; });
  const auto src = bytes_of(table);
  const msg::Table whole = msg::read_table(src, 1, diag);
  const msg::Table limited = msg::read_table(src, 1, diag, 100);
  std::fclose(err);
  ASSERT_FALSE(whole.archive.too_large);
  ASSERT_GT(whole.archive.body.size(), 1000u);  // far more than the table's 600 bytes
  EXPECT_TRUE(limited.archive.too_large);
  const auto& lengths = limited.archive.lengths;
  ASSERT_FALSE(lengths.empty());
  EXPECT_EQ(lengths, std::vector<std::uint32_t>(whole.archive.lengths.begin(),
                                                whole.archive.lengths.begin() + lengths.size()));
  EXPECT_GT(limited.archive.body.size(), 100u);
  EXPECT_LE(limited.archive.body.size() - lengths.back(), 100u);
}
