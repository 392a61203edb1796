#include <gtest/gtest.h>

#include <random>

#include "support/testsupport.hpp"
#include "tests/yazcore/plain_decoder.hpp"
#include "yazcore/decode.hpp"
#include "yazcore/encode.hpp"

using namespace testsupport;
using yazcore::Status;

namespace {

const Bytes kYaz0Head = hex("59 61 7A 30");  // "Yaz0"
const Bytes kYay0Head = hex("59 61 79 30");  // "Yay0"
const Bytes kMio0Head = hex("4D 49 4F 30");  // "MIO0"

// A Yaz0 file: the header with output size `size`, then `stream`.
Bytes yaz0_file(std::uint32_t size, const Bytes& stream) {
  Bytes f = kYaz0Head;
  for (int s = 24; s >= 0; s -= 8) f.push_back(static_cast<std::uint8_t>(size >> s));
  f.resize(16, 0xEE);
  f.insert(f.end(), stream.begin(), stream.end());
  return f;
}

Bytes cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Random valid tokens, with every distance and length form well represented (copies of at most
// `most` bytes), and the data they stand for, expanded one byte at a time: the reference the fast
// decoder must agree with.
std::vector<yazcore::Token> random_tokens(std::mt19937& rng, std::size_t count, Bytes& data,
                                          std::size_t most_length = 273) {
  std::vector<yazcore::Token> tokens;
  for (std::size_t i = 0; i < count; ++i) {
    if (data.empty() || rng() % 3 == 0) {
      tokens.push_back({});
      data.push_back(static_cast<std::uint8_t>(rng()));
      continue;
    }
    const std::size_t most = std::min<std::size_t>(data.size(), 4096);
    std::size_t dist = 0;
    switch (rng() % 4) {
      case 0: dist = 1 + rng() % std::min<std::size_t>(most, 8); break;
      case 1: dist = 1 + rng() % std::min<std::size_t>(most, 20); break;
      default: dist = 1 + rng() % most; break;
    }
    const std::size_t len = std::min(most_length, rng() % 2 ? 3 + rng() % 15 : 18 + rng() % 256);
    tokens.push_back({static_cast<std::uint16_t>(len), static_cast<std::uint16_t>(dist)});
    for (std::size_t k = 0; k < len; ++k) data.push_back(data[data.size() - dist]);
  }
  return tokens;
}

}  // namespace

TEST(Yaz0Decode, WellFormedStreams) {
  struct Case {
    const char* what;
    std::uint32_t size;
    Bytes stream;
    Bytes expected;
  };
  const Bytes eight = hex("11 22 33 44 55 66 77 88");
  Bytes a18(18, 'A');
  Bytes a273(273, 'A');
  const Case cases[] = {
      {"eight literals", 8, cat(hex("FF"), eight), eight},
      {"distance 1, short form", 4, hex("80 41 10 00"), bytes_of("AAAA")},
      {"three-byte form, 18", 19, hex("80 41 00 00 00"), cat(hex("41"), a18)},
      {"three-byte form, 273", 274, hex("80 41 00 00 FF"), cat(hex("41"), a273)},
      {"distance 3 repeats", 9, hex("E0 61 62 63 40 02"), bytes_of("abcabcabc")},
      {"longest distance", 4099,
       // 4096 literals in 512 groups, then a copy of 3 from 4096 back.
       [] {
         Bytes s;
         for (int g = 0; g < 512; ++g) {
           s.push_back(0xFF);
           for (int i = 0; i < 8; ++i) s.push_back(static_cast<std::uint8_t>(g * 8 + i));
         }
         return cat(s, hex("00 1F FF"));
       }(),
       [] {
         Bytes o;
         for (int i = 0; i < 4096; ++i) o.push_back(static_cast<std::uint8_t>(i));
         return cat(o, hex("00 01 02"));
       }()},
      {"size reached mid-group, rest not read", 2, hex("C0 58 59"), bytes_of("XY")},
      {"trailing bytes ignored", 1, hex("FF 5A 01 02 03"), bytes_of("Z")},
      {"size 0: an empty file, nothing read", 0, {}, {}},
  };
  for (const auto& c : cases) {
    const auto d = yazcore::decode(yaz0_file(c.size, c.stream));
    EXPECT_EQ(d.status, Status::done) << c.what;
    EXPECT_EQ(to_hex(d.out), to_hex(c.expected)) << c.what;
  }
}

TEST(Yaz0Decode, ForcedLayoutReadsSizeAtByte8) {
  const Bytes file = hex("00 11 22 33 DE AD BE EF 00 00 00 04 80 41 10 00");
  const auto d = yazcore::decode(file);
  EXPECT_EQ(d.status, Status::done);
  EXPECT_EQ(string_of(d.out), "AAAA");
  EXPECT_EQ(yazcore::classify(file), yazcore::Layout::other);
  EXPECT_EQ(yazcore::classify(yaz0_file(1, {})), yazcore::Layout::yaz0);
  EXPECT_EQ(yazcore::classify(bytes_of("yaz0....")), yazcore::Layout::other);
  const auto empty = yazcore::decode(hex("41 42 43 44 00 00 00 00 00 00 00 00"));
  EXPECT_EQ(empty.status, Status::done);
  EXPECT_TRUE(empty.out.empty());
}

TEST(Yay0Decode, SeparateStreams) {
  // "ab", copy 4 from 2 back (link 0x2001), copy 20 from 1 back (link 0x0000, chunk 20-18=2),
  // "c". Masks: 1 1 0 0 1 -> 0xC8000000.
  const Bytes file = cat(kYay0Head, hex("00 00 00 1B  00 00 00 14  00 00 00 18  C8 00 00 00 "
                                        "20 01 00 00  61 62 02 63"));
  const auto d = yazcore::decode(file);
  EXPECT_EQ(d.status, Status::done);
  EXPECT_EQ(string_of(d.out),
            "ababab"
            "bbbbbbbbbbbbbbbbbbbb"
            "c");
}

TEST(RoundTrip, RandomTokensAgreeWithByteAtATimeExpansion) {
  using yazcore::Format;
  std::mt19937 rng(5);
  for (int round = 0; round < 60; ++round) {
    const Format format = round % 3 == 0   ? Format::yaz0
                          : round % 3 == 1 ? Format::yay0
                                           : Format::mio0;
    Bytes expected;
    const auto tokens =
        random_tokens(rng, 50 + rng() % 2000, expected, format == Format::mio0 ? 18 : 273);
    const Bytes file = yazcore::write_file(expected, tokens, format);
    EXPECT_EQ(file.size(), yazcore::encoded_size(tokens, format));
    const auto d = yazcore::decode(file);
    ASSERT_EQ(d.status, Status::done) << "round " << round;
    ASSERT_EQ(d.out, expected) << "round " << round;
    const auto plain = format == Format::yaz0   ? oracle::plain_yaz0(file, false)
                       : format == Format::yay0 ? oracle::plain_yay0(file)
                                                : oracle::plain_mio0(file);
    ASSERT_EQ(plain.out, expected) << "round " << round;
  }
}

TEST(Mio0Decode, ShortLinksOfUpTo18BytesAndNoLongForm) {
  // "ab", a copy of 18 from 2 back (link F001), a copy of 3 from 1 back (link 0000), "c": masks
  // 1 1 0 0 1 -> C8000000. In Yay0, link 0000 would be a long copy taking a chunk byte.
  const Bytes file = cat(kMio0Head, hex("00 00 00 18  00 00 00 14  00 00 00 18  C8 00 00 00 "
                                        "F0 01 00 00  61 62 63"));
  EXPECT_EQ(yazcore::classify(file), yazcore::Layout::mio0);
  const auto d = yazcore::decode(file);
  EXPECT_EQ(d.status, Status::done);
  EXPECT_EQ(string_of(d.out),
            "abababababababababab"
            "bbbc");
}

TEST(Malformed, EachFaultIsReportedWithItsOffsetAndKeepsWhatCameBefore) {
  struct Case {
    const char* what;
    Bytes file;
    Status status;
    std::uint64_t at;
    const char* kept;  // output produced before the fault
  };
  const Case cases[] = {
      {"copy before the start", yaz0_file(10, hex("80 41 10 01")), Status::bad_reference, 18, "A"},
      {"first token a copy", yaz0_file(10, hex("00 10 00")), Status::bad_reference, 17, ""},
      {"copy past the size", yaz0_file(5, hex("80 41 30 00")), Status::overrun, 18, "A"},
      {"long copy past the size", yaz0_file(20, hex("80 41 00 00 02")), Status::overrun, 18, "A"},
      {"header cut", hex("59 61 7A 30 00 00"), Status::short_read, 6, ""},
      {"no flag byte", yaz0_file(4, {}), Status::short_read, 16, ""},
      {"header shorter than 16", hex("59 61 7A 30 00 00 00 04 00 00"), Status::short_read, 10, ""},
      {"literal missing", yaz0_file(4, hex("C0 41")), Status::short_read, 18, "A"},
      {"second copy byte missing", yaz0_file(4, hex("80 41 10")), Status::short_read, 18, "A"},
      {"third copy byte missing", yaz0_file(40, hex("80 41 00 00")), Status::short_read, 18, "A"},
      {"next group missing", yaz0_file(9, cat(hex("FF"), bytes_of("abcdefgh"))), Status::short_read,
       25, "abcdefgh"},
      {"claim far beyond the input", yaz0_file(0xFFFFFFFF, hex("80 41 10 00")), Status::short_read,
       20, "AAAA"},
      {"Yay0 link table outside", cat(kYay0Head, hex("00 00 00 04 00 00 01 00 00 00 00 10")),
       Status::bad_table, 8, ""},
      {"Yay0 chunk table outside", cat(kYay0Head, hex("00 00 00 04 00 00 00 10 FF FF FF FF")),
       Status::bad_table, 12, ""},
      {"Yay0 header cut", cat(kYay0Head, hex("00 00 00 04 00 00 00")), Status::short_read, 11, ""},
      {"Yay0 masks run out", cat(kYay0Head, hex("00 00 00 04 00 00 00 10 00 00 00 10")),
       Status::short_read, 16, ""},
      {"Yay0 links run out",
       cat(kYay0Head, hex("00 00 00 04 00 00 00 14 00 00 00 14 80 00 00 00 41")),
       Status::short_read, 20, "A"},
      {"Yay0 copy before start",
       cat(kYay0Head, hex("00 00 00 04 00 00 00 14 00 00 00 16 00 00 00 00 10 00")),
       Status::bad_reference, 20, ""},
      {"MIO0 chunk table outside", cat(kMio0Head, hex("00 00 00 04 00 00 00 10 00 00 01 00")),
       Status::bad_table, 12, ""},
      {"MIO0 copy past the size",
       cat(kMio0Head, hex("00 00 00 04 00 00 00 14 00 00 00 16 80 00 00 00 10 00 41")),
       Status::overrun, 20, "A"},
      {"MIO0 literals run out",
       cat(kMio0Head, hex("00 00 00 04 00 00 00 14 00 00 00 14 C0 00 00 00 41")),
       Status::short_read, 21, "A"},
  };
  for (const auto& c : cases) {
    const auto d = yazcore::decode(c.file);
    EXPECT_EQ(d.status, c.status) << c.what;
    EXPECT_EQ(d.at, c.at) << c.what;
    EXPECT_EQ(string_of(d.out), c.kept) << c.what;
  }
}

TEST(Malformed, MemoryFollowsTheInputNotTheClaim) {
  EXPECT_EQ(yazcore::initial_capacity(0xFFFFFFFF, 20), 20 * yazcore::kMaxExpansion);
  EXPECT_EQ(yazcore::initial_capacity(1000, 1 << 20), 1000u);
  // The most a stream can expand: three-byte copies of 273 bytes with their flag bits.
  const Bytes zeros(1 << 20, 0);
  const Bytes file = yazcore::encode(zeros, yazcore::Format::yaz0, yazcore::Mode::best);
  EXPECT_LE(zeros.size(), file.size() * yazcore::kMaxExpansion);
}

TEST(Malformed, RandomStreamsNeverCrashOrHang) {
  std::mt19937 rng(99);
  for (int round = 0; round < 3000; ++round) {
    Bytes file = round % 2 ? kYaz0Head : round % 4 ? kYay0Head : kMio0Head;
    const std::size_t n = rng() % 200;
    for (std::size_t i = 0; i < n + 12; ++i) file.push_back(static_cast<std::uint8_t>(rng()));
    file[4] = 0;
    file[5] = static_cast<std::uint8_t>(rng() % 4);
    if (round % 2 == 0) {  // table offsets mostly inside the file
      file[8] = file[9] = file[10] = 0;
      file[11] = static_cast<std::uint8_t>(rng() % (file.size() + 8));
      file[12] = file[13] = file[14] = 0;
      file[15] = static_cast<std::uint8_t>(rng() % (file.size() + 8));
    }
    const auto d = yazcore::decode(file);
    EXPECT_LE(d.out.size(), d.size);
    if (d.status == Status::done) {
      EXPECT_EQ(d.out.size(), d.size);
    }
  }
}
