#include "romcore/bootcheck.hpp"

#include <array>
#include <cctype>
#include <cstdio>

#include "base/bytes.hpp"
#include "base/crc32.hpp"

namespace rom {
namespace {

// The CRC-32 of each chip's boot code. Only these hashes are kept, never the code itself.
struct KnownBootCode {
  std::uint32_t crc;
  Cic cic;
};
constexpr std::array<KnownBootCode, 7> kKnownBootCodes = {{
    {0x6170A4A1u, Cic::c6101},
    {0x90BB6CB5u, Cic::c6102},
    {0x009E9EA3u, Cic::c7102},
    {0x0B050EE0u, Cic::c6103},
    {0x98BC2C86u, Cic::c6105},
    {0xACC8580Au, Cic::c6106},
    {0x0E018159u, Cic::c8303},
}};

// How the boot code of each family starts and ends its sum.
enum class Fold { exclusive, add, multiply };
struct Family {
  std::uint32_t seed;
  std::uint32_t magic;
  Fold fold;
  bool table;  // f takes its second term from a table in the boot code area
};

constexpr Family family_of(Cic cic) {
  switch (cic) {
    case Cic::c6103:
    case Cic::c7103: return {0x78, 0x6C078965u, Fold::add, false};
    case Cic::c6105:
    case Cic::c7105: return {0x91, 0x5D588B65u, Fold::exclusive, true};
    case Cic::c6106:
    case Cic::c7106: return {0x85, 0x6C078965u, Fold::multiply, false};
    default: return {0x3F, 0x5D588B65u, Fold::exclusive, false};
  }
}

// The table of the 6105 family: 64 words from 0x750, taken in turn.
constexpr std::size_t kTableOffset = 0x750;

constexpr std::uint32_t rotl32(std::uint32_t x, unsigned n) {
  n &= 31;
  return n == 0 ? x : (x << n) | (x >> (32 - n));
}

template <bool Table>
CheckCode sum(const std::uint8_t* image, const Family& family) {
  const std::uint32_t init = family.seed * family.magic + 1;
  std::uint32_t a = init, b = init, c = init, d = init, e = init, f = init;
  const std::uint8_t* p = image + kCheckedStart;
  for (std::size_t i = 0; i < kCheckedLength / 4; ++i, p += 4) {
    const std::uint32_t w = bytes::load_be32(p);
    const std::uint32_t s = a + w;
    if (s < a) ++b;
    const std::uint32_t r = rotl32(w, w & 31);
    a = s;
    c ^= w;
    d += r;
    // Equal goes with the rotated word.
    if (e < w) {
      e ^= a ^ w;
    } else {
      e ^= r;
    }
    if constexpr (Table) {
      f += w ^ bytes::load_be32(image + kTableOffset + ((i * 4) & 0xFF));
    } else {
      f += w ^ d;
    }
  }
  switch (family.fold) {
    case Fold::add: return {(a ^ b) + c, (d ^ e) + f};
    case Fold::multiply: return {(a * b) + c, (d * e) + f};
    case Fold::exclusive: break;
  }
  return {(a ^ b) ^ c, (d ^ e) ^ f};
}

}  // namespace

std::optional<std::uint32_t> boot_code_crc(std::span<const std::uint8_t> native_image) {
  if (native_image.size() < kBootCodeEnd) return std::nullopt;
  return crc::crc32(native_image.subspan(kBootCodeStart, kBootCodeEnd - kBootCodeStart));
}

Cic identify_cic(std::span<const std::uint8_t> native_image) {
  const auto crc = boot_code_crc(native_image);
  if (!crc) return Cic::unknown;
  for (const KnownBootCode& known : kKnownBootCodes) {
    if (known.crc == *crc) return known.cic;
  }
  return Cic::unknown;
}

std::optional<Cic> parse_cic(std::string_view text) {
  auto lower = [](char ch) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  };
  if (text.size() >= 3 && lower(text[0]) == 'c' && lower(text[1]) == 'i' && lower(text[2]) == 'c') {
    text.remove_prefix(3);
    if (!text.empty() && text.front() == '-') text.remove_prefix(1);
  }
  struct Named {
    std::string_view number;
    Cic cic;
  };
  static constexpr Named kNamed[] = {
      {"6101", Cic::c6101}, {"6102", Cic::c6102}, {"7101", Cic::c7101}, {"7102", Cic::c7102},
      {"6103", Cic::c6103}, {"7103", Cic::c7103}, {"6105", Cic::c6105}, {"7105", Cic::c7105},
      {"6106", Cic::c6106}, {"7106", Cic::c7106},
  };
  for (const Named& named : kNamed) {
    if (named.number == text) return named.cic;
  }
  return std::nullopt;
}

const char* cic_name(Cic cic) {
  switch (cic) {
    case Cic::c6101: return "6101";
    case Cic::c6102:
    case Cic::c7101: return "6102/7101";
    case Cic::c7102: return "7102";
    case Cic::c6103:
    case Cic::c7103: return "6103/7103";
    case Cic::c6105:
    case Cic::c7105: return "6105/7105";
    case Cic::c6106:
    case Cic::c7106: return "6106/7106";
    case Cic::c8303: return "8303";
    case Cic::unknown: break;
  }
  return "unknown";
}

std::string check_code_text(const CheckCode& code) {
  char text[24];
  std::snprintf(text, sizeof text, "%08X %08X", static_cast<unsigned>(code.crc1),
                static_cast<unsigned>(code.crc2));
  return text;
}

bool has_cartridge_check(Cic cic) { return cic != Cic::unknown && cic != Cic::c8303; }

std::optional<CheckCode> compute_check(std::span<const std::uint8_t> native_image, Cic cic) {
  if (native_image.size() < kCheckedImageLength || !has_cartridge_check(cic)) return std::nullopt;
  const Family family = family_of(cic);
  return family.table ? sum<true>(native_image.data(), family)
                      : sum<false>(native_image.data(), family);
}

CheckCode stored_check(std::span<const std::uint8_t> native_image) {
  if (native_image.size() < kCheckCodeOffset + 8) return {};
  return {bytes::load_be32(native_image.data() + kCheckCodeOffset),
          bytes::load_be32(native_image.data() + kCheckCodeOffset + 4)};
}

void store_check(std::span<std::uint8_t> image, ByteOrder order, CheckCode code) {
  if (image.size() < kCheckCodeOffset + 8) return;
  const std::span<std::uint8_t> field = image.subspan(kCheckCodeOffset, 8);
  bytes::store_be32(field.data(), code.crc1);
  bytes::store_be32(field.data() + 4, code.crc2);
  // Both swaps are their own inverse: straightening a native field gives it in `order`.
  straighten(field, straightening_mode(order));
}

}  // namespace rom
