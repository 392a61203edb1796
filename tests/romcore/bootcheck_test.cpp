#include <gtest/gtest.h>

#include <random>

#include "romcore/bootcheck.hpp"
#include "support/testsupport.hpp"
#include "tests/romcore/rom_images.hpp"
#include "tests/romcore/slow_check.hpp"

using rom::CheckCode;
using rom::Cic;
using romtest::Bytes;

namespace {

constexpr Cic kCartridgeChips[] = {Cic::c6101, Cic::c6102, Cic::c7101, Cic::c7102, Cic::c6103,
                                   Cic::c7103, Cic::c6105, Cic::c7105, Cic::c6106, Cic::c7106};

// The chip of each family whose values are written out below; the others must agree with it.
Cic family_head(Cic cic) {
  switch (cic) {
    case Cic::c7103: return Cic::c6103;
    case Cic::c7105: return Cic::c6105;
    case Cic::c7106: return Cic::c6106;
    case Cic::c6101:
    case Cic::c7101:
    case Cic::c7102: return Cic::c6102;
    default: return cic;
  }
}

std::string text(const std::optional<CheckCode>& code) {
  if (!code) return "none";
  char s[24];
  std::snprintf(s, sizeof s, "%08X %08X", code->crc1, code->crc2);
  return s;
}

Bytes filled(std::uint8_t value) { return Bytes(rom::kCheckedImageLength, value); }

// Every byte different from its neighbours, the 6105 table area included.
Bytes pattern() {
  Bytes image(rom::kCheckedImageLength);
  for (std::size_t k = 0; k < image.size(); ++k) image[k] = static_cast<std::uint8_t>(k * 37 + 11);
  return image;
}

// The first checked word equal to the start value of `cic`'s sum, so e == w at once.
Bytes equal_first(std::uint32_t init) {
  Bytes image = filled(0);
  bytes::store_be32(image.data() + rom::kCheckedStart, init);
  return image;
}

}  // namespace

TEST(RomcoreBootcheck, KnownCheckValues) {
  const Bytes random = romtest::check_value_image();
  const Bytes ones = filled(0xFF);
  const Bytes patterned = pattern();
  struct Case {
    const char* what;
    const Bytes* image;
    Cic cic;
    const char* code;
  };
  const Bytes eq02 = equal_first(0xF8CA4DDC), eq03 = equal_first(0xA3886759);
  const Bytes eq05 = equal_first(0xDF26F436), eq06 = equal_first(0x1FEA617A);
  const Case cases[] = {
      {"random", &random, Cic::c6102, "31E282B9 BA271CE1"},
      {"random", &random, Cic::c6103, "ABA8B044 30D2A660"},
      {"random", &random, Cic::c6105, "1746232F E87AF1D3"},
      {"random", &random, Cic::c6106, "2D694D46 9D1C8275"},
      // e reaches 0xFFFFFFFF once in the 6103 sum, and equal takes the rotated word.
      {"all 0xFF", &ones, Cic::c6103, "A3906759 A9AACEAE"},
      {"all 0xFF", &ones, Cic::c6102, "F8C24DDC C1544DDC"},
      {"all 0xFF", &ones, Cic::c6105, "DF2EF436 DF22F436"},
      {"all 0xFF", &ones, Cic::c6106, "04100F9E F83E0F9E"},
      {"first word = start", &eq02, Cic::c6102, "095ED665 D4E40130"},
      {"first word = start", &eq03, Cic::c6103, "E498A9E8 689C1E60"},
      {"first word = start", &eq05, Cic::c6105, "616B1C5B 80026814"},
      {"first word = start", &eq06, Cic::c6106, "C84B5C48 049FEE01"},
      // The 6105 table is not zero here.
      {"pattern", &patterned, Cic::c6102, "F6CC53D6 34DDC66E"},
      {"pattern", &patterned, Cic::c6103, "A58A7163 EF098C7F"},
      {"pattern", &patterned, Cic::c6105, "DD28FA30 9AA6100D"},
      {"pattern", &patterned, Cic::c6106, "9DCEA2C2 D6557754"},
  };
  for (const Case& c : cases) {
    for (const Cic cic : kCartridgeChips) {
      if (family_head(cic) != c.cic) continue;
      EXPECT_EQ(text(rom::compute_check(*c.image, cic)), c.code) << c.what << " " << int(cic);
    }
    EXPECT_EQ(text(romtest::slow_check(*c.image, c.cic).code()), c.code) << c.what;
  }
  // The cases above that are meant to meet e == w do, and the other branch gives another code.
  EXPECT_EQ(romtest::slow_check(ones, Cic::c6103).equal_steps, 1u);
  EXPECT_NE(romtest::slow_check(ones, Cic::c6103, true).code(),
            rom::compute_check(ones, Cic::c6103).value());
  EXPECT_EQ(romtest::slow_check(eq05, Cic::c6105).equal_steps, 1u);
}

TEST(RomcoreBootcheck, MatchesSlowSumWhereWordsOftenEqualE) {
  // Random images, every eighth checked word made equal to e as the sum reaches it; a random boot
  // area gives the 6105 family a table.
  std::mt19937 rng(0x6105);
  for (const Cic cic : kCartridgeChips) {
    Bytes image(rom::kCheckedImageLength);
    for (auto& byte : image) byte = static_cast<std::uint8_t>(rng());
    romtest::SlowSum sum(image, cic);
    for (std::size_t i = 0; i < rom::kCheckedLength / 4; ++i) {
      std::uint8_t* at = image.data() + rom::kCheckedStart + 4 * i;
      if (i % 8 == 0) bytes::store_be32(at, sum.e());
      sum.add(i, bytes::load_be32(at));
    }
    EXPECT_EQ(sum.equal_steps, rom::kCheckedLength / 32) << int(cic);
    const CheckCode code = rom::compute_check(image, cic).value();
    EXPECT_EQ(code, sum.code()) << int(cic);
    EXPECT_EQ(code, romtest::slow_check(image, cic).code()) << int(cic);
    EXPECT_NE(code, romtest::slow_check(image, cic, true).code()) << int(cic);
  }
}

TEST(RomcoreBootcheck, ChipFoundByBootCodeHashOnly) {
  struct Case {
    std::uint32_t crc;
    Cic cic;
    const char* name;
  };
  const Case cases[] = {
      {0x6170A4A1, Cic::c6101, "6101"},      {0x90BB6CB5, Cic::c6102, "6102/7101"},
      {0x009E9EA3, Cic::c7102, "7102"},      {0x0B050EE0, Cic::c6103, "6103/7103"},
      {0x98BC2C86, Cic::c6105, "6105/7105"}, {0xACC8580A, Cic::c6106, "6106/7106"},
      {0x0E018159, Cic::c8303, "8303"},      {0x12345678, Cic::unknown, "unknown"},
  };
  for (const Case& c : cases) {
    Bytes image = pattern();
    romtest::forge_boot_crc(image, c.crc);
    ASSERT_EQ(rom::boot_code_crc(image), c.crc);
    EXPECT_EQ(rom::identify_cic(image), c.cic) << c.name;
    EXPECT_STREQ(rom::cic_name(c.cic), c.name);
    // Only 0x40..0x1000 counts, and the chip is found in images too short to be checked.
    image[0x3F] ^= 1;
    image[0x1000] ^= 1;
    image.resize(rom::kBootCodeEnd);
    EXPECT_EQ(rom::identify_cic(image), c.cic) << c.name;
    EXPECT_EQ(rom::compute_check(image, Cic::c6102), std::nullopt);
    image.pop_back();
    EXPECT_EQ(rom::identify_cic(image), Cic::unknown) << c.name;
  }
  // One byte short of the checked area, or a chip without a cartridge check: nothing computed.
  const Bytes image = pattern();
  EXPECT_EQ(rom::compute_check(std::span(image).first(image.size() - 1), Cic::c6102), std::nullopt);
  EXPECT_EQ(rom::compute_check(image, Cic::c8303), std::nullopt);
  EXPECT_EQ(rom::compute_check(image, Cic::unknown), std::nullopt);
}

TEST(RomcoreBootcheck, ChipNames) {
  const std::pair<const char*, std::optional<Cic>> cases[] = {
      {"6101", Cic::c6101},    {"6102", Cic::c6102},     {"7101", Cic::c7101},
      {"7102", Cic::c7102},    {"6103", Cic::c6103},     {"7103", Cic::c7103},
      {"6105", Cic::c6105},    {"7105", Cic::c7105},     {"6106", Cic::c6106},
      {"7106", Cic::c7106},    {"CIC-6102", Cic::c6102}, {"cic7105", Cic::c7105},
      {"8303", std::nullopt},  {"6104", std::nullopt},   {"", std::nullopt},
      {"61020", std::nullopt}, {" 6102", std::nullopt},  {"cic-", std::nullopt},
  };
  for (const auto& [text, cic] : cases) EXPECT_EQ(rom::parse_cic(text), cic) << text;
}

TEST(RomcoreBootcheck, StoredCodeRoundTripsInEveryOrder) {
  const CheckCode code{0x01234567, 0x89ABCDEF};
  const Bytes native = pattern();
  for (const auto order :
       {rom::ByteOrder::native, rom::ByteOrder::swapped16, rom::ByteOrder::swapped32}) {
    const Bytes before = romtest::in_order(native, order);
    Bytes after = before;
    rom::store_check(after, order, code);
    for (std::size_t i = 0; i < after.size(); ++i) {
      if (i < 0x10 || i >= 0x18) {
        ASSERT_EQ(after[i], before[i]) << i;
      }
    }
    EXPECT_EQ(rom::stored_check(romtest::in_order(after, order)), code);
  }
  // Too short to hold the field: left as it is, read as zeros.
  Bytes short_image(0x17, 0xAA);
  rom::store_check(short_image, rom::ByteOrder::native, code);
  EXPECT_EQ(short_image, Bytes(0x17, 0xAA));
  EXPECT_EQ(rom::stored_check(short_image), CheckCode{});
}
