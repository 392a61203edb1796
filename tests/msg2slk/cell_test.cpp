// SYLK cells decoded from message bytes, proven against the real SYLK encoder and table reader.
#include <gtest/gtest.h>

#include <random>

#include "msgcore/decompile_support.hpp"
#include "msgcore/readable.hpp"
#include "msgcore/sylk.hpp"
#include "support/testsupport.hpp"

using testsupport::Bytes;
using testsupport::hex;

namespace {

bool cell_round_trips(const Bytes& message, std::string* text = nullptr) {
  std::string cell(1, '"');
  cell += msg::decode_message(message, msg::SourceForm::sylk);
  cell += '"';
  if (text != nullptr) *text = cell;
  msg::CheckScratch scratch;
  return msg::check_cell(testsupport::bytes_of(cell), message, scratch);
}

std::string decompile(const msg::Archive& a, bool line_numbers) {
  return decompile_support::source_of(a, {msg::SourceForm::sylk, line_numbers, msg::check_cell});
}

}  // namespace

TEST(Msg2slkCell, EveryByteAndEveryPairOfBytes) {
  for (int a = 0; a < 256; ++a) {
    ASSERT_TRUE(cell_round_trips({static_cast<std::uint8_t>(a)})) << a;
    for (int b = 0; b < 256; ++b) {
      if (a == 0x7F || b == 0x7F) continue;
      std::string text;
      ASSERT_TRUE(
          cell_round_trips({static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b)}, &text))
          << a << " " << b << ": " << text;
    }
    for (const Bytes& around : {Bytes{0x7F, 0x1A, 0}, Bytes{0, 0x7F, 0x1A}, Bytes{0x80, 0, 0x80},
                                Bytes{0, 0x7F}, Bytes{0x7F, 0x05, 0}}) {
      Bytes m = around;
      for (auto& byte : m) {
        if (byte == 0) byte = static_cast<std::uint8_t>(a);
      }
      ASSERT_TRUE(cell_round_trips(m)) << testsupport::to_hex(m);
    }
  }
}

TEST(Msg2slkCell, ReadableForms) {
  const struct {
    const char* bytes;
    const char* text;
  } cases[] = {
      {"48 69 21 20 22 3B", "Hi! $q$d"},
      {"2A 5C 82 83 85 90 84 2F 2B 81 BF CD", "~+{}*$-$.$n$h$o$s\\n"},
      {"00 5D 91 BE 23 24 5B", "[h-a][h-ya][k-a][k-vu][h-mu][h-me][h-mo]"},
      {"7F 31 7F 0E 1A 2B 80", "[item][jump 1A2B]#80#"},
      {"", "##"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(msg::decode_message(hex(c.bytes), msg::SourceForm::sylk), c.text) << c.bytes;
    EXPECT_TRUE(cell_round_trips(hex(c.bytes))) << c.bytes;
  }
}

TEST(Msg2slkCell, RandomArchivesCompileBackSilently) {
  std::mt19937 rng(3);
  for (int trial = 0; trial < 400; ++trial) {
    const msg::Archive a = decompile_support::random_archive(rng, 10);
    for (const bool line_numbers : {true, false}) {
      const std::string table = decompile(a, line_numbers);
      const Bytes src = testsupport::bytes_of(table);
      msg::Diagnostics quiet = msg::Diagnostics::quiet();
      const msg::Table t = msg::read_table(src, line_numbers ? 2 : 1, quiet);
      ASSERT_EQ(t.archive.lengths, a.lengths) << table;
      ASSERT_EQ(t.archive.body, a.body) << table;
      EXPECT_EQ(quiet.reports(), 0u);
      EXPECT_FALSE(t.ended_early || t.unclosed) << table;
      // Printable ASCII and line ends only.
      for (const char c : table) EXPECT_TRUE((c >= 0x20 && c <= 0x7E) || c == '\r' || c == '\n');
    }
    // The all-hex form of each message, written when a tag fails its check, passes the check.
    std::size_t at = 0;
    for (const std::uint32_t length : a.lengths) {
      const auto from = a.body.begin() + static_cast<std::ptrdiff_t>(at);
      const Bytes m(from, from + length);
      at += length;
      msg::TextBuffer cell;
      cell.append("\"");
      msg::hex_message(m, cell);
      cell.append("\"");
      msg::CheckScratch scratch;
      EXPECT_TRUE(msg::check_cell(cell.bytes(0, cell.size()), m, scratch));
    }
  }
}
