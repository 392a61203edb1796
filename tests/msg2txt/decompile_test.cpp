// Whole archives decompiled in memory and compiled again with the text-dump compiler.
#include <gtest/gtest.h>

#include <random>

#include "msgcore/archive.hpp"
#include "msgcore/decompile.hpp"
#include "msgcore/decompile_support.hpp"
#include "support/testsupport.hpp"
#include "txt2msg/txt2msg.hpp"

using testsupport::Bytes;

namespace {

std::string decompile(const msg::Archive& a, bool line_numbers) {
  return decompile_support::source_of(a,
                                      {msg::SourceForm::dump, line_numbers, msg::check_dump_line});
}

msg::Archive compile(const std::string& source, bool line_numbers, unsigned long* reports) {
  const Bytes src = testsupport::bytes_of(source);
  msg::Diagnostics quiet = msg::Diagnostics::quiet();
  msg::Unclosed unclosed;
  msg::Archive a = txt2msg::compile_dump(src, txt2msg::first_message_offset(src), line_numbers,
                                         quiet, {}, &unclosed);
  *reports = quiet.reports() + (unclosed ? 1 : 0);
  return a;
}

}  // namespace

TEST(Msg2txtDecompile, RandomArchivesCompileBackSilentlyAndDecompileToTheSameSource) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 400; ++trial) {
    const msg::Archive a = decompile_support::random_archive(rng, 12);
    if (a.lengths.empty()) continue;  // a dump holds one message at least (see below)
    for (const bool line_numbers : {true, false}) {
      const std::string source = decompile(a, line_numbers);
      unsigned long reports = 0;
      const msg::Archive again = compile(source, line_numbers, &reports);
      ASSERT_EQ(again.lengths, a.lengths) << source;
      ASSERT_EQ(again.body, a.body) << source;
      EXPECT_EQ(reports, 0u) << source;
      EXPECT_EQ(decompile(again, line_numbers), source);
    }
  }
}

TEST(Msg2txtDecompile, LayoutOfTheDump) {
  msg::Archive a;
  a.body = testsupport::hex("48 69 7F 1A 91");
  a.lengths = {2, 0, 3};
  EXPECT_EQ(decompile(a, true),
            "\xEF\xBB\xBF"
            "0\tHi\r\n1\t\r\n2\t[player]\xE3\x82\xA2\r\n");
  EXPECT_EQ(decompile(a, false),
            "\xEF\xBB\xBF"
            "Hi\r\n\r\n[player]\xE3\x82\xA2\r\n");
  // No messages: the byte-order mark alone, which compiles to one empty message.
  unsigned long reports = 0;
  EXPECT_EQ(decompile(msg::Archive{}, true), "\xEF\xBB\xBF");
  EXPECT_EQ(compile("\xEF\xBB\xBF", true, &reports).lengths, std::vector<std::uint32_t>{0});
}

TEST(Msg2txtDecompile, AHexRunOfAnyBytesPassesTheLineCheck) {
  std::mt19937 rng(9);
  msg::CheckScratch scratch;
  for (int trial = 0; trial < 500; ++trial) {
    Bytes m(rng() % 50);
    for (auto& b : m) b = static_cast<std::uint8_t>(rng());
    msg::TextBuffer text;
    msg::hex_message(m, text);
    text.append("\r\n");
    EXPECT_TRUE(msg::check_dump_line(text.bytes(0, text.size()), m, scratch));
  }
}
