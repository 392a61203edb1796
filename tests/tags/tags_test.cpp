#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "msgcore/tags.hpp"
#include "support/testsupport.hpp"

// The tables below are laid out by hand, column by column.
// clang-format off

using testsupport::hex;
using testsupport::to_hex;

namespace {

struct Result {
  std::vector<std::uint8_t> bytes;
  std::uint32_t count = 0;
  unsigned long reports = 0;
  std::string err;  // what the diagnostics printed
};

Result encode(const std::string& text) {
  std::FILE* err = std::tmpfile();
  Result r;
  if (err == nullptr) {
    ADD_FAILURE() << "no temporary file for the error stream";
    return r;
  }
  {
    msg::Diagnostics diag(msg::DiagBuild::text_dump, err, nullptr);
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    r.count = msg::encode_tag({data, text.size()}, r.bytes, diag);
    r.reports = diag.reports();
  }
  std::rewind(err);
  for (int c; (c = std::fgetc(err)) != EOF;) r.err.push_back(static_cast<char>(c));
  std::fclose(err);
  return r;
}

// What the diagnostics print for these statuses, one report each, in order.
std::string messages_of(const std::vector<int>& statuses) {
  std::string text;
  for (int s : statuses) {
    const auto report = static_cast<msg::Report>(s);  // the old numbers
    if (const char* m = msg::Diagnostics::message(report, msg::DiagBuild::text_dump)) text += m;
  }
  return text;
}

void expect_tag(const std::string& text, const std::string& expected_hex,
                const std::vector<int>& statuses = {}) {
  SCOPED_TRACE("[" + text + "]");
  const Result r = encode(text);
  EXPECT_EQ(to_hex(r.bytes), to_hex(hex(expected_hex)));
  EXPECT_EQ(r.count, r.bytes.size());
  EXPECT_EQ(testsupport::located_lines(r.err, "note"), statuses.size());
  EXPECT_EQ(testsupport::without_located_lines(r.err), messages_of(statuses));
}

struct Case {
  const char* text;
  const char* bytes;
  std::vector<int> statuses;
};

template <std::size_t N>
void expect_tags(const Case (&cases)[N]) {
  for (const auto& c : cases) expect_tag(c.text, c.bytes, c.statuses);
}

void expect_unknown(const std::string& text) {
  SCOPED_TRACE("[" + text + "]");
  const Result r = encode(text);
  EXPECT_TRUE(r.bytes.empty());
  EXPECT_EQ(r.count, 2u);
  // No old report; one warning, as the two zero bytes are surely not what was meant.
  EXPECT_EQ(testsupport::without_located_lines(r.err), "");
  EXPECT_GE(testsupport::located_lines(r.err, "warning"), 1u);
  EXPECT_NE(r.err.find("] is not a tag: two zero bytes written"), std::string::npos);
}

// The kana names and their character codes, six to a row.
constexpr const char* kKanaRows = R"(
"h-a" 0x00  "h-i" 0x01  "h-u" 0x02  "h-e" 0x03  "h-o" 0x04  "h-ka" 0x05
"h-ki" 0x06  "h-ku" 0x07  "h-ke" 0x08  "h-ko" 0x09  "h-sa" 0x0A  "h-shi" 0x0B
"h-tsu" 0x0C  "h-se" 0x0D  "h-so" 0x0E  "h-ta" 0x0F  "h-ti" 0x10  "h-tu" 0x11
"h-te" 0x12  "h-to" 0x13  "h-na" 0x14  "h-ni" 0x15  "h-nu" 0x16  "h-ne" 0x17
"h-no" 0x18  "h-ha" 0x19  "h-hi" 0x1A  "h-hu" 0x1B  "h-he" 0x1C  "h-ho" 0x1D
"h-ma" 0x1E  "h-mi" 0x1F  "h-mu" 0x23  "h-me" 0x24  "h-mo" 0x5B  "h-ya" 0x5D
"h-yu" 0x5E  "h-yo" 0x60  "h-ra" 0x7B  "h-ri" 0x7C  "h-ru" 0x7D  "h-re" 0x7E
"h-ro" 0xC0  "h-wa" 0xC1  "h-wo" 0xC2  "h-n" 0xC3  "h-ga" 0xE7  "h-gi" 0xE8
"h-gu" 0xE9  "h-ge" 0xEA  "h-go" 0xEB  "h-za" 0xEC  "h-zi" 0xED  "h-zu" 0xEE
"h-ze" 0xEF  "h-zo" 0xF0  "h-da" 0xF1  "h-di" 0xF2  "h-du" 0xF3  "h-de" 0xF4
"h-do" 0xF5  "h-ba" 0xF6  "h-bi" 0xF7  "h-bu" 0xF8  "h-be" 0xF9  "h-bo" 0xFA
"h-pa" 0xFB  "h-pi" 0xFC  "h-pu" 0xFD  "h-pe" 0xFE  "h-po" 0xFF  "hs-a" 0xC4
"hs-i" 0xC5  "hs-u" 0xC6  "hs-e" 0xC7  "hs-o" 0xC8  "hs-ya" 0xC9  "hs-yu" 0xCA
"hs-yo" 0xCB  "hs-su" 0xCC  "k-wo" 0x86  "k-a" 0x91  "k-i" 0x92  "k-u" 0x93
"k-e" 0x94  "k-o" 0x95  "k-ka" 0x96  "k-ki" 0x97  "k-ku" 0x98  "k-ke" 0x99
"k-ko" 0x9A  "k-sa" 0x9B  "k-si" 0x9C  "k-su" 0x9D  "k-se" 0x9E  "k-so" 0x9F
"k-ta" 0xA0  "k-chi" 0xA1  "k-tu" 0xA2  "k-te" 0xA3  "k-to" 0xA4  "k-na" 0xA5
"k-ni" 0xA6  "k-nu" 0xA7  "k-ne" 0xA8  "k-no" 0xA9  "k-ha" 0xAA  "k-hi" 0xAB
"k-hu" 0xAC  "k-he" 0xAD  "k-ho" 0xAE  "k-ma" 0xAF  "k-mi" 0xB0  "k-mu" 0xB1
"k-me" 0xB2  "k-mo" 0xB3  "k-ya" 0xB4  "k-yu" 0xB5  "k-yo" 0xB6  "k-ra" 0xB7
"k-ri" 0xB8  "k-ru" 0xB9  "k-re" 0xBA  "k-ro" 0xBB  "k-wa" 0xBC  "k-n" 0xBD
"k-vu" 0xBE  "k-ga" 0xCE  "k-gi" 0xCF  "k-gu" 0xD0  "k-ge" 0xD1  "k-go" 0xD2
"k-za" 0xD3  "k-zi" 0xD4  "k-zu" 0xD5  "k-ze" 0xD6  "k-zo" 0xD7  "k-da" 0xD8
"k-di" 0xD9  "k-du" 0xDA  "k-de" 0xDB  "k-do" 0xDC  "k-ba" 0xDD  "k-bi" 0xDE
"k-bu" 0xDF  "k-be" 0xE0  "k-bo" 0xE1  "k-pa" 0xE2  "k-pi" 0xE3  "k-pu" 0xE4
"k-pe" 0xE5  "k-po" 0xE6  "ks-a" 0x87  "ks-i" 0x88  "ks-u" 0x89  "ks-e" 0x8A
"ks-o" 0x8B  "ks-ya" 0x8C  "ks-yu" 0x8D  "ks-yo" 0x8E  "ks-tu" 0x8F
)";

}  // namespace

TEST(Tags, EveryKanaNameWritesItsCode) {
  std::size_t count = 0;
  for (const char* p = kKanaRows; (p = std::strchr(p, '"')) != nullptr;) {
    const char* end = std::strchr(p + 1, '"');
    const std::string name(p + 1, end);
    const std::string code(end + 4, end + 6);  // `" 0x` then two hex digits
    expect_tag(name, code);
    p = end + 1;
    ++count;
  }
  EXPECT_EQ(count, 161u);
}

TEST(Tags, NamedCharactersAndArgumentlessSequences) {
  const std::pair<const char*, const char*> cases[] = {
      {"stress", "5C"}, {"anger", "5C"}, {"+", "5C"}, {"quote", "22"}, {"q", "22"},
      {"heart", "2B"}, {"h", "2B"}, {"note", "2F"}, {"eighth", "2F"}, {"n", "2F"}, {"8", "2F"},
      {"sweat", "3B"}, {"drop", "3B"}, {"tear", "3B"}, {"teardrop", "3B"}, {"s", "3B"},
      {"o", "81"}, {".", "84"}, {"-", "90"}, {"smile", "BF"}, {"r", "CD"}, {"line", "CD"},
      {"newline", "CD"}, {"return", "CD"}, {"\\r", "CD"}, {"\\n", "CD"},
      {"close", "7F 00"}, {"open", "7F 01"}, {"CLS", "7F 02"}, {"wait", "7F 04"},
      {"jump2sel", "7F 19"}, {"player", "7F 1A"}, {"speaker", "7F 1B"}, {"nickname", "7F 1C"},
      {"year", "7F 1D"}, {"month", "7F 1E"}, {"day", "7F 1F"}, {"weekday", "7F 1F"},
      {"day#", "7F 20"}, {"date", "7F 20"}, {"hours", "7F 21"}, {"mins", "7F 22"},
      {"secs", "7F 23"}, {"name", "7F 24"}, {"recall", "7F 2E"}, {"town", "7F 2F"},
      {"number", "7F 30"}, {"item", "7F 31"}, {"CAPS", "7F 70"}, {"caps", "7F 70"},
      {"uppercase", "7F 70"}, {"upper", "7F 70"}, {"toupper", "7F 70"}, {"`CAPS", "7F 70"},
      {"`caps", "7F 70"}, {"`uppercase", "7F 70"}, {"`upper", "7F 70"}, {"`toupper", "7F 70"},
      {"`isle", "7F 71"}, {"else", "7F 72"}, {"`else", "7F 72"}, {"if", "7F 73"},
      {"`if", "7F 73"}, {"lowercase", "7F 74"}, {"lower", "7F 74"}, {"tolower", "7F 74"},
      {"`lowercase", "7F 74"}, {"`lower", "7F 74"}, {"`tolower", "7F 74"},
      {"capitalize", "7F 75"}, {"`capitalize", "7F 75"}, {"am/pm", "7F 76"},
      {"`am/pm", "7F 76"},
      {"TIME", "7F 21 3A 7F 22 20 7F 76 20 6F 6E 20 7F 1E CD 7F 20 2C 20 7F 1D"},
      // Words after a name that takes no argument are ignored.
      {"close now", "7F 00"}, {"h 12", "2B"},
      {"TIME 5", "7F 21 3A 7F 22 20 7F 76 20 6F 6E 20 7F 1E CD 7F 20 2C 20 7F 1D"},
  };
  for (const auto& [text, bytes] : cases) expect_tag(text, bytes);
}

TEST(Tags, UnknownTagsCountTwoAndWriteNothing) {
  for (const char* text : {"", "   ", "Caps", "CAPSLOCK", "jump2", "isle", "`jump", "`player",
                           "Player", "h-si", "h-su", "k-ti", "hs-tu", "ks-su", "k-shi", "h-chi",
                           "jump\t1A2B", "\tjump", "sm", "\\t", "TIME5"}) {
    expect_unknown(text);
  }
  expect_unknown(std::string("\0jump 1A2B", 10));
}

TEST(Tags, MessageFlowArguments) {
  const Case cases[] = {
      {"pause 30", "7F 03 1E", {}},
      {"pause 300", "7F 03 2C", {}},
      {"pause -1", "7F 03 FF", {}},
      {"pause x", "7F 03 00", {}},
      {"pause 0x1E", "7F 03 00", {}},  // decimal only
      {"pause", "7F 03 00", {3}},
      {"jump 1A2B", "7F 0E 1A 2B", {}},
      {"jump 0x1a2b", "7F 0E 1A 2B", {}},
      {"jump 0X1A2B", "7F 0E 1A 2B", {}},
      {"jump 1a2bzz", "7F 0E 1A 2B", {}},
      {"jump 12345", "7F 0E 23 45", {}},
      {"jump -1", "7F 0E FF FF", {}},
      {"jump +1A", "7F 0E 00 1A", {}},
      {"jump 0x", "7F 0E 00 00", {}},
      {"jump zz", "7F 0E 00 00", {}},
      {"jump 123456789", "7F 0E FF FF", {}},      // clamped to 7FFFFFFF
      {"jump -80000000", "7F 0E 00 00", {}},
      {"jump -7FFFFFFF", "7F 0E 00 01", {}},
      {"jump -FFFFFFFFFFFF", "7F 0E 00 00", {}},  // clamped to -80000000
      {"jump", "7F 0E 00 00", {14}},
      {"jump 1 2", "7F 0E 00 01", {}},
      {"selected 1 2F0A", "7F 0F 2F 0A", {}},
      {"select 2 2F0A", "7F 10 2F 0A", {}},
      {"selected 3 2F0A", "7F 11 2F 0A", {}},
      {"`select 4 2F0A", "7F 12 2F 0A", {}},
      {"select 5 2F0A", "7F 77 2F 0A", {}},
      {"`selected 6 2F0A", "7F 78 2F 0A", {}},
      {"select 7 2F0A", "7F 0F 2F 0A", {15}},
      {"select x 2F0A", "7F 0F 2F 0A", {15}},
      {"select 0 2F0A", "7F 0F 2F 0A", {15}},
      {"select -1 2F0A", "7F 0F 2F 0A", {15}},
      {"select 257 2F0A", "7F 0F 2F 0A", {15}},
      {"select 99999999999 2F0A", "7F 0F 2F 0A", {15}},
      {"select 3", "7F 0F 00 00", {15}},
      {"select", "7F 0F 00 00", {15}},
      {"select x", "7F 0F 00 00", {15, 15}},
      {"rand 100 101 102", "7F 14 01 00 01 01 01 02", {}},
      {"rand 1 2", "7F 13 00 01 00 02", {}},
      {"rand 1 2 3 4 5", "7F 15 00 01 00 02 00 03 00 04", {}},
      {"rand 5", "7F 13 00 05 00 00", {13}},
      {"rand", "7F 13 00 00 00 00", {13}},
      {"menu 1 2 3", "7F 17 00 01 00 02 00 03", {}},
      {"menu 1 2 3 4", "7F 18 00 01 00 02 00 03 00 04", {}},
      {"menu 10 11 12 13 14", "7F 79 00 10 00 11 00 12 00 13 00 14", {}},
      {"menu 1 2 3 4 5 6", "7F 7A 00 01 00 02 00 03 00 04 00 05 00 06", {}},
      {"menu 1 2 3 4 5 6 7", "7F 7A 00 01 00 02 00 03 00 04 00 05 00 06", {}},
      {"`menu 1 2 3 4 5", "7F 79 00 01 00 02 00 03 00 04 00 05", {}},
      {"menu 2A", "7F 16 00 2A 00 00", {16}},
      {"menu", "7F 16 00 00 00 00", {16}},
      {"`menu 2A", "7F 16 00 2A 00 00", {13}},
      {"interject 1 2", "7F 6A 00 01 00 02", {}},
      {"interject 1 2 3", "7F 6B 00 01 00 02 00 03", {}},
      {"`interject 1 2 3 4 5 6", "7F 6C 00 01 00 02 00 03 00 04", {}},
      {"interject", "7F 6A 00 00 00 00", {13}},
      {"`interject 9", "7F 6A 00 09 00 00", {13}},
      {"range 100 1FF", "7F 63 01 00 01 FF", {}},
      {"`range 0x10 -1 7", "7F 63 00 10 FF FF", {}},
      {"range 5", "7F 63 00 05 00 00", {99}},
      {"range", "7F 63 00 00 00 00", {99}},
  };
  expect_tags(cases);
}

TEST(Tags, StringNumbers) {
  const Case cases[] = {
      {"string 1", "7F 24", {}},  {"string 5", "7F 28", {}},   {"string 10", "7F 2D", {}},
      {"string 11", "7F 36", {}}, {"string 15", "7F 3A", {}},  {"string 20", "7F 3F", {}},
      {"string 21", "7F 31", {}}, {"string 25", "7F 35", {}},  {"string 0", "7F 23", {}},
      {"string x", "7F 23", {}},  {"string +7", "7F 2A", {}},  {"string 26", "7F 35", {36}},
      {"string -3", "7F 35", {36}},  {"string 281", "7F 35", {36}},  // no low-8 wrap to 25
      {"string 4294967297", "7F 35", {36}},  {"string", "7F 23", {36}},
  };
  expect_tags(cases);
}

TEST(Tags, PresentationArguments) {
  const Case cases[] = {
      {"color 255 128 0", "7F 05 FF 80 00", {}},
      {"color #2 255 0 0", "7F 50 FF 00 00 02", {}},
      {"color # 1 2 3", "7F 50 01 02 03 00", {}},
      {"color 1 #2 3", "7F 05 01 00 03", {}},  // '#' counts on the first argument only
      {"color 300 0 0", "7F 05 2C 00 00", {}},
      {"color FF 0x10 -1", "7F 05 00 00 FF", {}},
      {"color 1 2 3 4", "7F 05 01 02 03", {}},
      {"color 255 128", "7F 05 FF 80 00", {5}},
      {"color", "7F 05 00 00 00", {5}},
      {"color #7", "7F 50 00 00 00 07", {5}},
      {"size 2", "7F 5A 02", {}},
      {"size1 2", "7F 54 02", {}},
      {"sound 12", "7F 59 0C", {}},
      {"sound 268", "7F 59 0C", {}},
      {"size1", "7F 54 00", {84}},  // these statuses print nothing but are still reported
      {"sound", "7F 59 00", {89}},
      {"size", "7F 5A 00", {90}},
  };
  expect_tags(cases);
}

TEST(Tags, WordsAndWhiteSpace) {
  expect_tag(" jump 1A2B ", "7F 0E 1A 2B");
  expect_tag("   jump     1A2B   ", "7F 0E 1A 2B");
  expect_tag("jump]1A2B", "7F 0E 1A 2B");        // ']' separates words too
  expect_tag("jump \t1A2B", "7F 0E 1A 2B");      // leading white space of a number is skipped
  expect_tag("pause \v\f\r\n7", "7F 03 07");
  expect_tag("pause 7\t8", "7F 03 07");          // the tab is trailing junk, not a separator
  expect_unknown("jump\t");                     // a tab is part of the name
}

TEST(Tags, TextIsCutAtFiftyBytesAndAtNul) {
  const std::string pad45(45, ' ');
  // The ID starts at byte 50: only its first digit is seen.
  expect_tag("jump" + pad45 + "1A2B", "7F 0E 00 01");
  // The ID starts at byte 51: it is not seen at all.
  expect_tag("jump " + pad45 + "1A2B", "7F 0E 00 00", {14});
  const std::string pad35(35, ' ');
  expect_tag("menu 1 2 3 4 5 " + pad35 + "6", "7F 79 00 01 00 02 00 03 00 04 00 05");
  expect_tag(std::string("jump 12\0" "34", 10), "7F 0E 00 12");
  expect_tag(std::string("h\0-ka", 5), "2B");
  // A long unknown name is still unknown and counts 2.
  expect_unknown(std::string(200, 'x'));
}

TEST(Tags, AppendsToWhatIsAlreadyThere) {
  std::FILE* err = std::tmpfile();
  ASSERT_NE(err, nullptr);
  msg::Diagnostics diag(msg::DiagBuild::text_dump, err, nullptr);
  std::vector<std::uint8_t> out = {0x48};
  const std::string a = "h-ka", b = "nope", c = "jump 2";
  auto run = [&](const std::string& t) {
    return msg::encode_tag({reinterpret_cast<const std::uint8_t*>(t.data()), t.size()}, out, diag);
  };
  EXPECT_EQ(run(a), 1u);
  EXPECT_EQ(run(b), 2u);
  EXPECT_EQ(run(c), 4u);
  EXPECT_EQ(to_hex(out), to_hex(hex("48 05 7F 0E 00 02")));
  std::fclose(err);
}

TEST(Tags, DiagnosticTextsGoToTheErrorStream) {
  EXPECT_EQ(testsupport::without_located_lines(encode("string 26").err), "\nimproper!\t[string #]  #: 1-25 only");
  EXPECT_EQ(testsupport::without_located_lines(encode("select x").err),
            "\nimproper!\t[selected # xxxx]  #: 1-6, xxxx: msg_txt ID"
            "\nimproper!\t[selected # xxxx]  #: 1-6, xxxx: msg_txt ID");
  EXPECT_EQ(testsupport::without_located_lines(encode("`menu").err),
            "\nimproper!\t[rand aaaa bbbb], aaaa bbbb cccc, or aaaa bbbb cccc dddd");
  EXPECT_EQ(testsupport::without_located_lines(encode("menu").err),
            "\nimproper!\t[menu aaaa bbbb], aaaa bbbb cccc, or aaaa bbbb cccc dddd");
  EXPECT_EQ(testsupport::without_located_lines(encode("range 1").err),
            "\nimproper!\t[`range aaaa bbbb]  aaaa: msg_txt ID start, bbbb: end");
  EXPECT_EQ(testsupport::without_located_lines(encode("sound").err), "");
}
