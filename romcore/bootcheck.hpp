// The boot chip of an N64 cartridge and the check code that the console's boot code computes
// over the first megabyte after it. A cartridge whose stored check code (bytes 0x10..0x17 of the
// header) differs from the computed one does not boot.
//
// "Native image" below means an image in the console's own byte order (romcore/byteorder.hpp
// straightens the others). Only the first 0x101000 bytes are ever read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "romcore/byteorder.hpp"

namespace rom {

// The boot chips. Chips that run the same boot code (6102 and 7101, 6103 and 7103, ...) cannot
// be told apart from the image; identify_cic() names the first of each pair.
enum class Cic {
  unknown,
  c6101,
  c6102,
  c7101,
  c7102,
  c6103,
  c7103,
  c6105,
  c7105,
  c6106,
  c7106,
  c8303,  // the disk drive's: no cartridge check code
};

// The boot code: 0xFC0 bytes from 0x40, found again in every image made for the same chip.
inline constexpr std::size_t kBootCodeStart = 0x40;
inline constexpr std::size_t kBootCodeEnd = 0x1000;
// The checked area: the megabyte that follows the boot code.
inline constexpr std::size_t kCheckedStart = 0x1000;
inline constexpr std::size_t kCheckedLength = 0x100000;
// The shortest image that has a check code.
inline constexpr std::size_t kCheckedImageLength = kCheckedStart + kCheckedLength;
// Where the check code is stored: two big-endian words.
inline constexpr std::size_t kCheckCodeOffset = 0x10;

// The CRC-32 (IEEE) of the boot code; nullopt when the image is shorter than 0x1000 bytes.
std::optional<std::uint32_t> boot_code_crc(std::span<const std::uint8_t> native_image);

// The chip whose boot code the image holds, found by the boot code's CRC-32; unknown when it is
// no known chip's, or the image is too short to hold it.
Cic identify_cic(std::span<const std::uint8_t> native_image);

// A chip named as users write it: "6102", also "CIC-6102" or "cic6102". Only chips that have a
// cartridge check are named (not 8303); nullopt for anything else.
std::optional<Cic> parse_cic(std::string_view text);

// The chip's name for reports: "6101", "6102/7101", "7102", "6103/7103", "6105/7105",
// "6106/7106", "8303" or "unknown".
const char* cic_name(Cic cic);

// False for the disk drive's chip and for an unknown one.
bool has_cartridge_check(Cic cic);

struct CheckCode {
  std::uint32_t crc1 = 0, crc2 = 0;
  friend bool operator==(const CheckCode&, const CheckCode&) = default;
};

// A check code as the reports show it: "1A2B3C4D 5E6F7081".
std::string check_code_text(const CheckCode& code);

// The check code the boot code of `cic` computes; nullopt when the image is shorter than
// kCheckedImageLength or the chip has no cartridge check (8303, unknown).
std::optional<CheckCode> compute_check(std::span<const std::uint8_t> native_image, Cic cic);

// The check code stored in the header ({0, 0} for an image shorter than 0x18 bytes).
CheckCode stored_check(std::span<const std::uint8_t> native_image);

// Writes `code` into bytes 0x10..0x17 of `image`, which is in byte order `order` (an unknown
// order is taken as native). An image shorter than 0x18 bytes is left as it is.
void store_check(std::span<std::uint8_t> image, ByteOrder order, CheckCode code);

}  // namespace rom
