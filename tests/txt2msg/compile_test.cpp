#include <gtest/gtest.h>

#include <cstdio>

#include "msgcore/dump.hpp"
#include "support/testsupport.hpp"

using testsupport::bytes_of;
using testsupport::hex;
using testsupport::to_hex;

namespace {

struct Compiled {
  std::string body;
  std::vector<std::uint32_t> lengths;
};

Compiled compile(const std::string& dump, bool line_numbers) {
  std::FILE* err = std::tmpfile();
  msg::Diagnostics diag(msg::DiagBuild::text_dump, err, [] { return EOF; });
  const auto src = bytes_of(dump);
  const msg::Archive a = msg::compile_dump(src, msg::first_message_offset(src), line_numbers, diag);
  std::fclose(err);
  return {testsupport::string_of(a.body), a.lengths};
}

}  // namespace

TEST(CompileDump, MessagesAndLengths) {
  struct Case {
    std::string dump;
    bool line_numbers;
    std::string body;
    std::vector<std::uint32_t> lengths;
  };
  const Case cases[] = {
      {"12\tHello\r\n13\tWorld\r\n", true, "HelloWorld", {5, 5}},
      {"12\tHello\n13\tWorld", true, "HelloWorld", {5, 5}},  // no final line feed
      {"Hello\nWorld\n", false, "HelloWorld", {5, 5}},
      {"A\tB\n", false, "AB", {1, 1}},       // a tab ends a message
      {"A\n\nB\n", false, "AB", {1, 0, 1}},  // an empty line is an empty message
      {"A\n\n", false, "A", {1, 0}},         // one extra empty line: one empty message
      {"1\tA\n\n", true, "A", {1, 0}},       // the empty line is taken as a number field
      // A line without a tab is taken whole as the number field: every later line is off by one
      // field.
      {"1\tA\n2 B\n3\tC\n", true, "A3", {1, 1, 0}},
      {"", false, "", {0}},
      {"", true, "", {0}},
      {"\xEF\xBB\xBF"
       "1\tA\n",
       true,
       "A",
       {1}},
      {"\xEF"
       "AB1\tA\n",
       true,
       "A",
       {1}},  // any 0xEF lead passes three bytes
      {"\xEF", false, "", {0}},
      // A tag that runs past its line: the next messages are still found line by line.
      {"1\tA[x\n2\tB\n3\tC]D\n4\tE\n", true, std::string("A\0\0BC]DE", 8), {3, 1, 3, 1}},
      {"1\tA[x\n", true, std::string("A\0\0", 3), {3}},  // a tag cut off by the end of file
      // A stray '#' runs to the end of the file; the messages after it are still compiled.
      {"1\tPress #1 now\n2\tB\n3\tC\n",
       true,
       "Press \x01\x02\x0B\x03\x0C"
       "BC",
       {11, 1, 1}},
      {"1\tA [b\n2\tB\n", true, std::string("A \0\0B", 5), {4, 1}},
  };
  for (const auto& c : cases) {
    const Compiled got = compile(c.dump, c.line_numbers);
    EXPECT_EQ(to_hex(bytes_of(got.body)), to_hex(bytes_of(c.body))) << c.dump;
    EXPECT_EQ(got.lengths, c.lengths) << c.dump;
  }
}

TEST(CompileDump, OverviewExample) {
  const Compiled got = compile("12\tHi[player]!\n", true);
  ASSERT_EQ(got.lengths.size(), 1u);
  // Until the tag vocabulary knows "player" this is a two-byte gap; either way five bytes.
  EXPECT_EQ(got.lengths[0], 5u);
  EXPECT_EQ(got.body.size(), 5u);
}

TEST(CompileDump, BodyAlwaysMatchesTheLengths) {
  // Hostile inputs: whatever the bytes, the body is exactly as long as the lengths add up to.
  const std::string inputs[] = {
      "[",
      "#",
      "[[[[",
      "####",
      "\xE3",
      "$",
      "\\",
      std::string("\0\0\0", 3),
      "\t\t\t",
      "\n\r\n",
      "1\t[zz",
      "[zz]",
      "A[zz]",
      std::string(300, '['),
      std::string(301, '#'),
  };
  for (const auto& in : inputs) {
    for (bool lines : {false, true}) {
      const Compiled got = compile(in, lines);
      std::uint64_t total = 0;
      for (auto l : got.lengths) total += l;
      EXPECT_EQ(total, got.body.size()) << to_hex(bytes_of(in));
    }
  }
}

TEST(CompileDump, StopsOnceTheBodyOutgrowsTheIndex) {
  // A hex run that runs on past its line is encoded again by every later message that reaches
  // it: here line k writes its 'a' and the pairs "a#" of all later lines, 100 + 99 + ... + 1
  // bytes in all. Past the limit compiling stops, at the first message that passes it.
  std::string dump;
  for (int i = 0; i < 100; ++i) dump += "a#\n";
  dump += "#";
  std::FILE* err = std::tmpfile();
  msg::Diagnostics diag(msg::DiagBuild::text_dump, err, [] { return EOF; });
  const auto src = bytes_of(dump);
  const msg::Archive whole = msg::compile_dump(src, 0, false, diag);
  EXPECT_FALSE(whole.too_large);
  ASSERT_EQ(whole.lengths.size(), 101u);
  EXPECT_EQ(whole.lengths[0], 100u);
  EXPECT_EQ(whole.lengths[99], 1u);
  EXPECT_EQ(whole.body.size(), 5050u);

  std::vector<std::uint8_t> streamed;
  msg::ArchiveWriter out(
      false,
      [&streamed](std::span<const std::uint8_t> piece) {
        streamed.insert(streamed.end(), piece.begin(), piece.end());
      },
      {}, 1000);
  msg::compile_dump(src, 0, false, diag, out);
  out.finish();
  std::fclose(err);
  EXPECT_TRUE(out.too_large());
  // 100 + 99 + ... + 90 = 1045 bytes after eleven messages.
  EXPECT_EQ(out.messages(), 11u);
  EXPECT_EQ(streamed, std::vector<std::uint8_t>(whole.body.begin(), whole.body.begin() + 1045));
}
