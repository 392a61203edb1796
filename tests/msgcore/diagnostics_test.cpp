#include <gtest/gtest.h>

#include "diag_capture.hpp"
#include "support/testsupport.hpp"

TEST(Diagnostics, MessagesOfTheTextBuild) {
  const std::pair<int, const char*> cases[] = {
      {0, "\nunrecognised text character\tskipping"},
      {3, "\nimproper!\t[pause t]"},
      {5, "\nimproper!\t[color r g b] or [color #i r g b]"},
      {13, "\nimproper!\t[rand aaaa bbbb], aaaa bbbb cccc, or aaaa bbbb cccc dddd"},
      {14, "\nimproper!\t[jump xxxx]\txxxx: msg_txt ID"},
      {15, "\nimproper!\t[selected # xxxx]  #: 1-6, xxxx: msg_txt ID"},
      {16, "\nimproper!\t[menu aaaa bbbb], aaaa bbbb cccc, or aaaa bbbb cccc dddd"},
      {36, "\nimproper!\t[string #]  #: 1-25 only"},
      {99, "\nimproper!\t[`range aaaa bbbb]  aaaa: msg_txt ID start, bbbb: end"},
      {106, "\nimproper!\t[`interject aaaa bbbb]  aaaa/bbbb: msg_txt ID"},
      {84, ""},
      {89, ""},
      {90, ""},
      {-1, ""},
  };
  for (const auto& [status, text] : cases) {
    DiagCapture cap;
    cap.diag.report(static_cast<msg::Report>(status), "x");  // the old numbers
    // The fixed message as it always was, then its note on a line of its own.
    EXPECT_EQ(cap.text(), std::string(text) + "\nnote: message 0: x") << status;
    EXPECT_EQ(cap.waits, 0) << "the text build never waits";
  }
}

TEST(Diagnostics, SylkBuildHasNoStatusZeroAndWaitsAfterEveryReport) {
  DiagCapture cap(msg::DiagBuild::sylk);
  cap.diag.report(msg::Report::unmapped_character, "a");
  cap.diag.report(msg::Report::string, "b");
  cap.diag.warn("c");  // warnings do not wait
  EXPECT_EQ(cap.text(),
            "\nnote: row 0, column 0: a\nimproper!\t[string #]  #: 1-25 only\nnote: row 0, column "
            "0: b\nwarning: row 0, column 0: c");
  EXPECT_EQ(cap.waits, 2);
}

TEST(Diagnostics, LinesNameTheirPlaceAndTheRunEndsWithACount) {
  // Lines count from 1, columns count characters (the two-byte 'é' is one).
  const auto dump = testsupport::bytes_of("ab\n\xC3\xA9[x]\r\nz");
  DiagCapture text;
  text.diag.locate("d.txt", dump);
  text.diag.in_message(7);
  text.diag.at(5);
  text.diag.report(msg::Report::pause, "[x]");
  text.diag.warn_at(10, "w");
  text.diag.warn_source(0, "s");
  EXPECT_EQ(text.text(),
            "\nimproper!\t[pause t]\nd.txt:2:2: note: message 7: [x]\nd.txt:3:1: warning: "
            "message 7: w\nd.txt:1:1: warning: s");
  EXPECT_EQ(text.diag.summary(), "3 warnings");

  DiagCapture table(msg::DiagBuild::sylk);
  table.diag.locate("t.slk", dump);
  table.diag.in_cell(6, 2);
  table.diag.warn_at(5, "w");
  EXPECT_EQ(table.text(), "\nt.slk:2: warning: row 6, column 2: w");
  EXPECT_EQ(table.diag.summary(), "1 warning");

  // Columns along one line, counted on from the last place or again from the line start.
  const auto line = testsupport::bytes_of(
      "\xC3\xA9"
      "a\xC3\xA9"
      "bc\nd");
  DiagCapture along;
  along.diag.locate("l.txt", line);
  for (const std::size_t at : {3, 6, 7, 2, 5, 8, 9}) along.diag.warn_source(at, "");
  EXPECT_EQ(along.text(),
            "\nl.txt:1:3: warning: \nl.txt:1:5: warning: \nl.txt:1:6: warning: \nl.txt:1:2: "
            "warning: \nl.txt:1:4: warning: \nl.txt:2:1: warning: \nl.txt:2:2: warning: ");

  DiagCapture many;
  for (unsigned long k = 0; k < msg::Diagnostics::kShownWarnings + 5; ++k) many.diag.warn("w");
  EXPECT_EQ(many.diag.summary(), "105 warnings (5 not shown)");
  EXPECT_EQ(DiagCapture().diag.summary(), "");
}

TEST(Diagnostics, Utf8CharactersAreReadStrictly) {
  // Only valid characters are named: no overlong form, surrogate, stray or missing byte, and
  // nothing past U+10FFFF.
  const std::pair<std::string, std::uint32_t> valid[] = {{"A", 0x41},
                                                         {"\xC2\xA0", 0xA0},
                                                         {"\xE0\xA4\x85", 0x905},
                                                         {"\xF0\x9F\x98\x80", 0x1F600},
                                                         {"\xF4\x8F\xBF\xBF", 0x10FFFF}};
  for (const auto& [text, code] : valid) {
    const msg::Utf8Char c = msg::utf8_char(testsupport::bytes_of(text + "x"));
    EXPECT_EQ(c.length, text.size()) << text;
    EXPECT_EQ(c.code, code) << text;
  }
  for (const char* text : {"\xC0\x80", "\xC2", "\xC2x", "\xE0\x9F\xBF", "\xED\xA0\x80", "\x80",
                           "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80"}) {
    EXPECT_EQ(msg::utf8_char(testsupport::bytes_of(text)).length, 0u) << text;
  }
}
