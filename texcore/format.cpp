#include "texcore/format.hpp"

#include <algorithm>
#include <cstdio>

namespace texcore {

const FormatInfo& info(Format format) {
  for (const FormatInfo& f : kFormats) {
    if (f.format == format) return f;
  }
  return kFormats[0];
}

std::optional<Format> parse_format(std::string_view name) {
  for (const FormatInfo& f : kFormats) {
    if (name == f.name) return f.format;
  }
  return std::nullopt;
}

std::string format_names() {
  std::string names;
  for (const FormatInfo& f : kFormats) {
    if (!names.empty()) names += ", ";
    names += f.name;
  }
  return names;
}

std::optional<std::uint64_t> byte_length(Format format, std::uint64_t texels) {
  const std::uint64_t bits = texels * info(format).bits;
  if (bits % 8 != 0) return std::nullopt;
  return bits / 8;
}

void swap_odd_rows(std::span<std::uint8_t> data, std::size_t row_bytes) {
  if (row_bytes < 8) return;
  for (std::size_t row = row_bytes; row + row_bytes <= data.size(); row += 2 * row_bytes) {
    swap_words(data.subspan(row, row_bytes));
  }
}

void swap_words(std::span<std::uint8_t> row) {
  std::uint8_t* p = row.data();
  for (std::size_t word = 0; word + 8 <= row.size(); word += 8) {
    std::swap_ranges(p + word, p + word + 4, p + word + 4);
  }
}

std::string offset_text(std::uint64_t offset) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(offset));
  return text;
}

}  // namespace texcore
