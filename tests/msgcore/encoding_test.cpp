#include <gtest/gtest.h>

#include <random>

#include "diag_capture.hpp"
#include "msgcore/encoding.hpp"
#include "support/testsupport.hpp"

using testsupport::bytes_of;
using testsupport::hex;
using testsupport::to_hex;

namespace {

struct Encoded {
  std::vector<std::uint8_t> body;
  msg::Message m;
  std::string diag;
};

Encoded encode(const std::string& text, std::size_t start = 0) {
  DiagCapture cap;
  Encoded e;
  const auto src = bytes_of(text);
  e.m = msg::encode_text_message(src, start, e.body, cap.diag);
  e.diag = cap.text();
  return e;
}

const std::string kUnmapped = "\nunrecognised text character\tskipping";

}  // namespace

TEST(TextLoop, EncodesPlainTextShorthandsEscapesAndHexRuns) {
  struct Case {
    std::string text;
    const char* bytes;
    std::string diag{};  // an initializer, so that cases may leave it out
  };
  const Case cases[] = {
      {"Hi!\n", "48 69 21"},
      {"#41 42#\n", "41 42"},
      {"#4G#\n", "04"},
      {"##\n", ""},
      {"#A#x#y\n", "0A 79"},  // the '#' after A is taken as its second digit
      {"#0x#\n", "00"},
      {"#fF\n#\n", "FF"},  // a run crosses the line end
      {"$D$d\n", "3B 3B"},
      {"$z\n", "24"},
      {"\\N\\r\\x\n", "CD CD 5C"},
      {"$-$.$8$n$N$h$H$o$q$r$s$S\n", "90 84 2F 2F 2F 2B 2B 81 22 CD BF BF"},
      {"~+{}*\n", "2A 5C 82 83 85"},
      {"$#A\n", "24 41"},
      {"$[A]\n", "24 41 5D"},
      {"A\x01\x1F\x7F\rB\n", "41 7F 42"},
      {"\xC3\xA9\xE0\n", "C3 A9 E0"},
      {"\xE3\x82\xA2\xE2\x82\xA2\n", "91 91"},  // only the last two bytes count
      {"\xE3\x81\x82\xE3\x81\x81\xE3\x83\xB4\n", "00 C4 BE"},
      {"\xE3\x80\x81\xEF\xBD\x9E\xE2\x99\xAA\n", "84 2A 2F"},
      {"\xE3\x82\x8E!\n", "21", kUnmapped},
      {"\xF0\x9F\x98\x80\n", "80", kUnmapped},  // a four-byte sequence: the fourth byte is plain
      {"A[nothing]B\n", "41 00 00 42"},         // unknown tag: a two-byte gap
      {"[]\n", "00 00"},
      {"\n", ""},
      {"\t", ""},
  };
  for (const auto& c : cases) {
    const Encoded e = encode(c.text);
    EXPECT_EQ(to_hex(e.body), to_hex(hex(c.bytes))) << c.text;
    EXPECT_EQ(e.m.length, e.body.size()) << c.text;
    EXPECT_EQ(testsupport::without_located_lines(e.diag), c.diag) << c.text;
  }
}

TEST(TextLoop, FindsTheNextMessageAfterTheTerminator) {
  struct Case {
    std::string text;
    std::size_t start;
    const char* bytes;
    std::size_t next;
    bool last;
  };
  const Case cases[] = {
      {"Hi\tmore\n", 0, "48 69", 3, false},
      {"Hi\n\r\rB\n", 0, "48 69", 5, false},  // carriage returns after the line feed belong to it
      {"Hi\r\nB", 0, "48 69", 4, false},      // a carriage return before it is dropped
      {"Hi\n\r", 0, "48 69", 4, true},        // the file ends in the terminator
      {"Hi\n", 0, "48 69", 3, true},
      {"Hi", 0, "48 69", 2, true},        // no terminator: the message ends with the file
      {"A$\nB\n", 0, "41 24", 3, false},  // '$' takes the line feed as its follower
      {"A\\", 0, "41 5C", 2, true},
      {"", 0, "", 0, true},
      {"x\nAB\n", 2, "41 42", 5, true},
      {"A[zz\n]B\nC\n", 0, "41 00 00", 5, false},  // a tag past the line end ends the message
      {"A[zz\n", 0, "41 00 00", 5, true},          // no ']': the tag runs to the end of the file
      {"A#41\n", 0, "41 41", 5, true},             // no closing '#'
      {"A\xE3\x82", 0, "41", 3, true},             // a sequence cut short by the end of the file
  };
  for (const auto& c : cases) {
    const Encoded e = encode(c.text, c.start);
    EXPECT_EQ(to_hex(e.body), to_hex(hex(c.bytes))) << c.text;
    EXPECT_EQ(e.m.next, c.next) << c.text;
    EXPECT_EQ(e.m.last, c.last) << c.text;
  }
}

TEST(TextLoop, AppendsAtTheCurrentBodyOffset) {
  DiagCapture cap;
  std::vector<std::uint8_t> body = hex("01 02");
  const auto src = bytes_of("[x]A\n");
  const msg::Message m = msg::encode_text_message(src, 0, body, cap.diag);
  EXPECT_EQ(m.length, 3u);
  EXPECT_EQ(body, hex("01 02 00 00 41"));
}

TEST(TextLoop, AnIndexSharedByAllMessagesChangesNoByte) {
  // Sources of a few blocks of the index, where tags and hex runs open often and the bytes that
  // close them are dense in some sources and hundreds of bytes apart in others; one index serves
  // messages started everywhere, from the end backwards and then forwards.
  std::mt19937 random(7);
  DiagCapture cap;
  for (int round = 0; round < 60; ++round) {
    const unsigned spread = round % 3 == 0 ? 3 : round % 3 == 1 ? 80 : 900;
    const std::string filler = round % 2 ? "z $\\" : "z A1f";
    std::string text(300 + random() % 1500, ' ');
    for (char& c : text) {
      const unsigned r = random();
      c = r % 8 == 0        ? "[#"[r / 8 % 2]
          : r % spread == 1 ? "]\"\t\n#"[r / 8 % 5]
                            : filler[r / 8 % filler.size()];
    }
    const auto src = bytes_of(text);
    msg::SourceIndex index(src);
    for (const bool backwards : {true, false}) {
      for (std::size_t i = 0; i < src.size(); i += 3) {
        const std::size_t at = backwards ? src.size() - 1 - i : i;
        std::vector<std::uint8_t> plain;
        std::vector<std::uint8_t> indexed;
        const msg::Message a = msg::encode_text_message(src, at, plain, cap.diag);
        const msg::Message b = msg::encode_text_message(src, at, indexed, cap.diag, index);
        ASSERT_EQ(plain, indexed) << text << " at " << at;
        ASSERT_EQ(a.length, b.length);
        ASSERT_EQ(a.unclosed.at, b.unclosed.at);
      }
    }
  }
}
