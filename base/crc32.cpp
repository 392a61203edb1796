#include "base/crc32.hpp"

#include <array>

#if defined(__x86_64__) || defined(_M_X64)
#define CRC32_FOLDING 1
#include <emmintrin.h>
#include <wmmintrin.h>
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#define CRC32_FOLDING_TARGET
#else
#define CRC32_FOLDING_TARGET __attribute__((target("pclmul,sse2")))
#endif
#endif

namespace crc {
namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

// Slicing by eight: table[k][b] is the CRC of byte b followed by k zero bytes.
using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr Tables make_tables() {
  Tables t{};
  for (std::uint32_t b = 0; b < 256; ++b) {
    std::uint32_t c = b;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ kPolynomial : c >> 1;
    t[0][b] = c;
  }
  for (std::size_t k = 1; k < 8; ++k) {
    for (std::size_t b = 0; b < 256; ++b) t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
  }
  return t;
}

constexpr Tables kTables = make_tables();

// The register `c` (not complemented) carried on over `n` bytes.
std::uint32_t update_by_tables(std::uint32_t c, const std::uint8_t* p, std::size_t n) {
  for (; n >= 8; n -= 8, p += 8) {
    const std::uint32_t lo = c ^ (std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) |
                                  (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24));
    c = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
        kTables[4][lo >> 24] ^ kTables[3][p[4]] ^ kTables[2][p[5]] ^ kTables[1][p[6]] ^
        kTables[0][p[7]];
  }
  for (; n > 0; --n, ++p) c = (c >> 8) ^ kTables[0][(c ^ *p) & 0xFF];
  return c;
}

#ifdef CRC32_FOLDING

// Folding with carry-less multiplication. A 16-byte block read as a little-endian 128-bit number
// holds the message polynomial with its first bit as the highest power: bit t stands for
// x^(127 - t). Moving a block D bits further on multiplies it by x^D; its low half (the higher
// powers) by x^(D + 64) and its high half by x^D, each taken modulo the polynomial, so the product
// fits in the block it is added to. What remains congruent keeps the CRC, and the last block is
// finished by the tables.
//
// The folding constant for x^n: x^(n - 1) mod P, bit-reversed into the high 32 bits of 64 (the
// carry-less product of two reversed numbers comes out one bit short of the 128-bit block, which
// the lower power makes up).
constexpr std::uint64_t folding_constant(int n) {
  std::uint64_t r = 1;  // x^0, in the plain order: bit d is x^d
  for (int i = 0; i < n - 1; ++i) {
    r <<= 1;
    if ((r >> 32) != 0) r ^= 0x104C11DB7u;
  }
  std::uint64_t reversed = 0;
  for (int d = 0; d < 32; ++d) {
    if ((r >> d) & 1) reversed |= std::uint64_t{1} << (63 - d);
  }
  return reversed;
}

struct FoldingConstants {
  std::uint64_t low;   // for the block's low half
  std::uint64_t high;  // for its high half
};
constexpr FoldingConstants kFold512{folding_constant(512 + 64), folding_constant(512)};
constexpr FoldingConstants kFold128{folding_constant(128 + 64), folding_constant(128)};

bool folding_supported() {
#if defined(_MSC_VER) && !defined(__clang__)
  int info[4];
  __cpuid(info, 1);
  return ((info[2] >> 1) & 1) != 0 && ((info[3] >> 26) & 1) != 0;  // PCLMULQDQ, SSE2
#else
  return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
#endif
}

CRC32_FOLDING_TARGET __m128i fold(__m128i block, __m128i constants) {
  return _mm_xor_si128(_mm_clmulepi64_si128(block, constants, 0x00),
                       _mm_clmulepi64_si128(block, constants, 0x11));
}

CRC32_FOLDING_TARGET __m128i load(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

CRC32_FOLDING_TARGET __m128i pair_of(FoldingConstants k) {
  return _mm_set_epi64x(static_cast<long long>(k.high), static_cast<long long>(k.low));
}

// The register `c` carried on over `n` bytes, n >= 64.
CRC32_FOLDING_TARGET std::uint32_t update_by_folding(std::uint32_t c, const std::uint8_t* p,
                                                     std::size_t n) {
  const __m128i k512 = pair_of(kFold512);
  const __m128i k128 = pair_of(kFold128);
  // The register enters as the first four bytes' XOR.
  __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(c)));
  __m128i x1 = load(p + 16);
  __m128i x2 = load(p + 32);
  __m128i x3 = load(p + 48);
  p += 64;
  n -= 64;
  for (; n >= 64; p += 64, n -= 64) {
    x0 = _mm_xor_si128(fold(x0, k512), load(p));
    x1 = _mm_xor_si128(fold(x1, k512), load(p + 16));
    x2 = _mm_xor_si128(fold(x2, k512), load(p + 32));
    x3 = _mm_xor_si128(fold(x3, k512), load(p + 48));
  }
  x1 = _mm_xor_si128(fold(x0, k128), x1);
  x2 = _mm_xor_si128(fold(x1, k128), x2);
  x3 = _mm_xor_si128(fold(x2, k128), x3);
  for (; n >= 16; p += 16, n -= 16) x3 = _mm_xor_si128(fold(x3, k128), load(p));
  std::uint8_t last[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(last), x3);
  return update_by_tables(update_by_tables(0, last, sizeof last), p, n);
}

#endif

}  // namespace

std::uint32_t crc32(std::span<const std::uint8_t> data, std::uint32_t crc) {
#ifdef CRC32_FOLDING
  static const bool folding = folding_supported();
  if (data.size() >= 64 && folding) return ~update_by_folding(~crc, data.data(), data.size());
#endif
  return ~update_by_tables(~crc, data.data(), data.size());
}

}  // namespace crc
