// Decoding messages into dump text, proven against the real text-dump encoder: every byte, every
// pair of bytes, every vocabulary entry, every opcode and random messages compile back to
// themselves.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "msgcore/charmap.hpp"
#include "msgcore/decompile.hpp"
#include "msgcore/readable.hpp"
#include "msgcore/tag_table.hpp"
#include "msgcore/tags.hpp"
#include "support/testsupport.hpp"

using testsupport::Bytes;
using testsupport::hex;

namespace {

// The dump text of `message`, and whether its line compiles back to it silently.
bool round_trips(const Bytes& message, std::string* text_out = nullptr) {
  std::string text = msg::decode_message(message, msg::SourceForm::dump) + "\r\n";
  if (text_out != nullptr) *text_out = text;
  msg::CheckScratch scratch;
  return msg::check_dump_line(testsupport::bytes_of(text), message, scratch);
}

// What a tag text compiles to, silently.
Bytes compile_tag(const std::string& text) {
  Bytes out;
  msg::Diagnostics quiet = msg::Diagnostics::quiet();
  msg::encode_tag(testsupport::bytes_of(text), out, quiet);
  EXPECT_EQ(quiet.reports(), 0u) << text;
  return out;
}

}  // namespace

TEST(Decode, EveryByteAndEveryPairOfBytes) {
  // Alone, and beside every other byte outside a control sequence: each byte's form is taken whole
  // whatever stands next to it, which is what lets plain text go unchecked.
  for (int a = 0; a < 256; ++a) {
    ASSERT_TRUE(round_trips({static_cast<std::uint8_t>(a)})) << a;
    for (int b = 0; b < 256; ++b) {
      if (a == 0x7F || b == 0x7F) continue;
      const Bytes pair = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b)};
      std::string text;
      ASSERT_TRUE(round_trips(pair, &text)) << a << " " << b << ": " << text;
    }
    // Beside a tag and a hex run.
    for (const char* around : {"7F 1A %", "% 7F 1A", "80 % 80", "% 7F", "7F 05 %"}) {
      std::string pattern = around;
      char digits[3];
      std::snprintf(digits, sizeof digits, "%02X", a);
      pattern.replace(pattern.find('%'), 1, digits);
      std::string text;
      ASSERT_TRUE(round_trips(hex(pattern), &text)) << pattern << ": " << text;
    }
  }
}

TEST(Decode, EveryCharacterOfTheMapComesOutAsItself) {
  for (const msg::CharmapEntry& e : msg::charmap_entries()) {
    const std::string utf8 = {static_cast<char>(msg::charmap_lead(e.key)),
                              static_cast<char>(e.key >> 8), static_cast<char>(e.key & 0xFF)};
    EXPECT_EQ(msg::decode_message(Bytes{e.code}, msg::SourceForm::dump), utf8) << e.key;
  }
}

TEST(Decode, ReadableForms) {
  const struct {
    const char* bytes;
    const char* text;
  } cases[] = {
      {"48 69 21 20 7E", "Hi! れ"},
      {"5D 2F 2A 84 82 83 85", "や♪～、「」・"},
      {"5C 2B 22 3B BF CD", "+$h$q$d$s\\n"},
      {"7F 0E 1A 2B 7F 05 FF 80 00", "[jump 1A2B][color 255 128 0]"},
      {"7F 50 FF 00 00 02 7F 11 2F 0A 7F 77 2F 0A",
       "[color #2 255 0 0][selected 3 2F0A][selected 5 2F0A]"},
      {"7F 7A 00 01 00 02 00 03 00 04 00 05 00 06", "[menu 0001 0002 0003 0004 0005 0006]"},
      {"7F 37 7F 24 7F 23 7F 1F 7F 20 7F 71", "[string 12][name][secs][day][day#][`isle]"},
      {"7F 21 3A 7F 22 20 7F 76 20 6F 6E 20 7F 1E CD 7F 20 2C 20 7F 1D", "[TIME]"},
      {"7F 21 3A", "[hours]:"},
      {"80 80 41 7F 06 42 7F 0E 1A", "#80 80#A#7F 06#B#7F 0E 1A#"},
      {"7F", "#7F#"},
  };
  for (const auto& c : cases) {
    const Bytes message = hex(c.bytes);
    EXPECT_EQ(msg::decode_message(message, msg::SourceForm::dump), c.text) << c.bytes;
    EXPECT_TRUE(round_trips(message)) << c.bytes;
  }
  EXPECT_EQ(msg::decode_message({}, msg::SourceForm::dump), "");
  EXPECT_EQ(msg::decode_message({}, msg::SourceForm::sylk), "##");
}

TEST(Decode, EveryVocabularyEntryAndEveryOpcode) {
  std::mt19937 rng(7);
  // Each entry compiled with arguments of its kind decodes to a tag that compiles to the same.
  for (const msg::TagEntry& e : msg::vocabulary()) {
    for (int trial = 0; trial < 20; ++trial) {
      std::string text(e.name);
      // Appends `count` words of numbers below `limit`, in decimal, or in hexadecimal for IDs.
      const auto words = [&](unsigned count, unsigned limit, unsigned from = 0) {
        for (unsigned k = 0; k < count; ++k) {
          char word[16];
          std::snprintf(word, sizeof word, limit > 256 ? " %X" : " %u",
                        static_cast<unsigned>(from + rng() % limit));
          text += word;
        }
      };
      switch (e.kind) {
        case msg::TagKind::pause:
        case msg::TagKind::small_number: words(1, 256); break;
        case msg::TagKind::jump: words(1, 0x10000); break;
        case msg::TagKind::select:
          words(1, 6, 1);
          words(1, 0x10000);
          break;
        case msg::TagKind::choice:  // a menu takes six IDs, the others four
          words(
              2 + rng() % (std::string_view(e.name).find("menu") != std::string_view::npos ? 5 : 3),
              0x10000);
          break;
        case msg::TagKind::range: words(2, 0x10000); break;
        case msg::TagKind::string: words(1, 25, 1); break;
        case msg::TagKind::color:
          if (rng() % 2 != 0) text += " #" + std::to_string(rng() % 256);
          words(3, 256);
          break;
        default: break;
      }
      const Bytes bytes = compile_tag(text);
      std::string decoded;
      EXPECT_TRUE(round_trips(bytes, &decoded)) << text << " -> " << decoded;
    }
  }
  // Every opcode with random argument bytes, whole or cut short.
  for (int op = 0; op < 256; ++op) {
    for (std::size_t size = 1; size <= 16; ++size) {
      Bytes m = {0x7F, static_cast<std::uint8_t>(op)};
      while (m.size() < size + 1) m.push_back(static_cast<std::uint8_t>(rng()));
      std::string decoded;
      EXPECT_TRUE(round_trips(m, &decoded)) << testsupport::to_hex(m) << " -> " << decoded;
    }
  }
}

TEST(Decode, RandomMessagesRoundTrip) {
  std::mt19937 rng(11);
  msg::CheckScratch scratch;
  for (int trial = 0; trial < 3000; ++trial) {
    Bytes m(rng() % 40);
    for (auto& b : m) {
      // Control prefixes, likely opcodes and the characters with a meaning of their own in a
      // source.
      const unsigned pick = rng() % 8;
      b = static_cast<std::uint8_t>(pick == 0 ? 0x7F : pick == 1 ? rng() % 0x7C : rng());
    }
    std::string text;
    ASSERT_TRUE(round_trips(m, &text)) << testsupport::to_hex(m) << " -> " << text;
    // The all-hex form, written when a tag fails its check, passes the whole-line check.
    msg::TextBuffer hexed;
    msg::hex_message(m, hexed);
    hexed.append("\r\n");
    ASSERT_TRUE(msg::check_dump_line(hexed.bytes(0, hexed.size()), m, scratch));
  }
  // A message far longer than the slices that decoding writes it in.
  Bytes longer(100000);
  for (auto& b : longer) b = static_cast<std::uint8_t>(rng() % 4 == 0 ? 0x7F : rng());
  EXPECT_TRUE(round_trips(longer));
}

TEST(Decode, TagCheckerRefusesATagThatGivesOtherBytes) {
  msg::TagChecker tags;
  EXPECT_TRUE(tags.check("[jump 1A2B]", hex("7F 0E 1A 2B")));
  EXPECT_TRUE(tags.check("[jump 1A2B]", hex("7F 0E 1A 2B")));  // known by now
  EXPECT_FALSE(tags.check("[jump]", hex("7F 0E 00 00")));      // reported
  EXPECT_FALSE(tags.check("[jump 1A2C]", hex("7F 0E 1A 2D")));
  EXPECT_FALSE(tags.check("[jump 1]A]", hex("7F 0E 00 01")));  // closed early
  EXPECT_FALSE(tags.check("[q;]", hex("22")));                 // ends a SYLK field
}

TEST(ReadIndex, BothFormsAndEveryProblem) {
  const struct {
    const char* index;
    bool table;
    std::uint64_t body;
    const char* expected;  // the end offsets, or the problem
    bool in_body = false;
  } cases[] = {
      {"00 00 00 05 00 00 00 05 00 00 00 11 00 00 00 00", true, 17, "5 5 17"},
      {"00 00 00 05 00 00 00 00 00 00 00 0C", false, 17, "5 5 17"},
      {"00 00 00 00", true, 0, ""},
      {"", false, 0, ""},
      {"", true, 0, "the table is empty: its closing zero word, at byte 0, is missing"},
      {"00 00 00 05 00", false, 5,
       "the last word, at byte 4, is cut short (the index is 5 bytes long, not a multiple of 4)"},
      {"00 00 00 05", true, 5,
       "the table does not end in a zero word: the last word, at byte 0, is 5 (an offset file is "
       "read with /o)"},
      {"00 00 00 05 00 00 00 03 00 00 00 00", true, 5,
       "the entry at byte 4 (3) is less than the one before it (5)"},
      {"00 00 00 05 00 00 00 09 00 00 00 00", true, 8,
       "the entry at byte 4 (9) points past the end of the body (the body has 8 bytes)"},
      {"FF FF FF FF FF FF FF FF", false, 0xFFFFFFFF,
       "the length at byte 4 (4294967295) runs past the end of the body (to offset 8589934590; "
       "the body has 4294967295 bytes; a table file is read without /o)"},
      // Ends past 4 GiB - 1 cannot be held in 32 bits (nor compiled again).
      {"FF FF FF FF 00 00 00 01 00 00 00 01", false, 0x100000001,
       "the body has 4294967297 bytes, more than the 4294967295 an archive's offsets can reach",
       true},
      {"00 00 00 05 00 00 00 00", true, 8,
       "the body is longer than the index covers: its bytes from offset 5 on (3 bytes) belong to "
       "no message",
       true},
  };
  for (const auto& c : cases) {
    const msg::MessageEnds r = msg::read_index(hex(c.index), c.table, c.body);
    std::string got;
    if (r.problem) {
      got = r.problem->text;
      EXPECT_EQ(r.problem->in_body, c.in_body) << c.index;
      EXPECT_TRUE(r.ends.empty());
    } else {
      for (const std::uint32_t end : r.ends) {
        if (!got.empty()) got += ' ';
        got += std::to_string(end);
      }
    }
    EXPECT_EQ(got, c.expected) << c.index;
  }
}
