// The N64 texel formats, as one table: bits per texel and where each channel lies in a texel.
// Both directions derive from it: decoding texels to 8-bit RGBA (texcore/codec.hpp) and encoding
// RGBA back to the nearest texels the format holds.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace texcore {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

enum class Format { i4, i8, ia4, ia8, ia16, rgba16, rgba32, ci4, ci8 };

// What a field of a texel holds. An intensity is shown as red, green and blue alike.
enum class Channel : std::uint8_t { intensity, red, green, blue, alpha, index };

// One field: `bits` wide, `shift` bits above the texel's lowest bit.
struct Field {
  Channel channel;
  std::uint8_t bits;
  std::uint8_t shift;
};

struct FormatInfo {
  Format format;
  const char* name;
  unsigned bits;  // per texel: 4, 8, 16 or 32
  std::array<Field, 4> fields;
  unsigned field_count;
  // The console draws the texel's intensity as its alpha too (the I formats); --opaque: 255.
  bool alpha_is_intensity;

  std::span<const Field> layout() const { return {fields.data(), field_count}; }
  bool indexed() const { return fields[0].channel == Channel::index; }
  // Intensity and alpha only: a greyscale TGA holds it.
  bool grey() const { return fields[0].channel == Channel::intensity; }
};

// Texels are stored big-endian; 4-bit texels two to a byte, the high nibble first.
inline constexpr FormatInfo kFormats[] = {
    {Format::i4, "i4", 4, {{{Channel::intensity, 4, 0}}}, 1, true},
    {Format::i8, "i8", 8, {{{Channel::intensity, 8, 0}}}, 1, true},
    {Format::ia4, "ia4", 4, {{{Channel::intensity, 3, 1}, {Channel::alpha, 1, 0}}}, 2, false},
    {Format::ia8, "ia8", 8, {{{Channel::intensity, 4, 4}, {Channel::alpha, 4, 0}}}, 2, false},
    {Format::ia16, "ia16", 16, {{{Channel::intensity, 8, 8}, {Channel::alpha, 8, 0}}}, 2, false},
    {Format::rgba16,
     "rgba16",
     16,
     {{{Channel::red, 5, 11},
       {Channel::green, 5, 6},
       {Channel::blue, 5, 1},
       {Channel::alpha, 1, 0}}},
     4,
     false},
    {Format::rgba32,
     "rgba32",
     32,
     {{{Channel::red, 8, 24},
       {Channel::green, 8, 16},
       {Channel::blue, 8, 8},
       {Channel::alpha, 8, 0}}},
     4,
     false},
    {Format::ci4, "ci4", 4, {{{Channel::index, 4, 0}}}, 1, false},
    {Format::ci8, "ci8", 8, {{{Channel::index, 8, 0}}}, 1, false},
};

const FormatInfo& info(Format format);
std::optional<Format> parse_format(std::string_view name);
// "i4, i8, ia4, ..." for usage lines.
std::string format_names();

// A value of `bits` bits (1 to 8) widened to 8 bits by repeating its bits, as the console does:
// 1 bit gives 0 or 255, 3 bits (i << 5) | (i << 2) | (i >> 1), 4 bits v * 17, 5 bits
// (v << 3) | (v >> 2).
constexpr std::uint8_t widen(unsigned value, unsigned bits) {
  unsigned out = 0;
  for (int at = 8 - static_cast<int>(bits); at > -static_cast<int>(bits);
       at -= static_cast<int>(bits)) {
    out |= at >= 0 ? value << at : value >> -at;
  }
  return static_cast<std::uint8_t>(out & 0xFF);
}

// The size in bytes of `texels` texels; nullopt when 4-bit texels end in half a byte.
std::optional<std::uint64_t> byte_length(Format format, std::uint64_t texels);

// Undoes (and makes) the layout of texture memory: in every odd row, the two 4-byte halves of
// each 8-byte word change places. A row's bytes past its last whole word stay where they are.
void swap_odd_rows(std::span<std::uint8_t> data, std::size_t row_bytes);
// The swap of one row: the two 4-byte halves of each 8-byte word change places.
void swap_words(std::span<std::uint8_t> row);

// An offset as the lines show it: "0x1A40".
std::string offset_text(std::uint64_t offset);

}  // namespace texcore
