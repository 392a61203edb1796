// CRC-32 as zlib, PNG and the patch formats compute it (IEEE 802.3, reflected polynomial
// 0xEDB88320, initial value and final XOR 0xFFFFFFFF). crc32("123456789") is 0xCBF43926.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace crc {

// Continues `crc` (the value returned for the bytes before) over `data`; start with 0.
std::uint32_t crc32(std::span<const std::uint8_t> data, std::uint32_t crc = 0);

}  // namespace crc
