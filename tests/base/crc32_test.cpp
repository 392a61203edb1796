#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "base/crc32.hpp"
#include "support/testsupport.hpp"

using testsupport::bytes_of;

// The bit-at-a-time definition, against which the fast table form is checked.
std::uint32_t crc_by_bits(const std::vector<std::uint8_t>& data) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (const std::uint8_t b : data) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
  }
  return ~c;
}

TEST(Crc32, KnownValuesAndPiecewiseEqualsWhole) {
  EXPECT_EQ(crc::crc32(bytes_of("")), 0u);
  EXPECT_EQ(crc::crc32(bytes_of("123456789")), 0xCBF43926u);
  EXPECT_EQ(crc::crc32(bytes_of("The quick brown fox jumps over the lazy dog")), 0x414FA339u);
  std::vector<std::uint8_t> data(1000);
  std::uint32_t x = 12345;
  for (auto& b : data) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 24);
  // Every length around the 16- and 64-byte steps of the folding path, and its tail.
  for (std::size_t n = 0; n <= 1000; n += n < 300 ? 1 : 97) {
    const std::vector<std::uint8_t> head(data.begin(), data.begin() + static_cast<long>(n));
    EXPECT_EQ(crc::crc32(head), crc_by_bits(head)) << n;
    const std::span<const std::uint8_t> all(data);
    EXPECT_EQ(crc::crc32(all.subspan(n), crc::crc32(all.first(n))), crc::crc32(all)) << n;
  }
}
