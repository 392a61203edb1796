#include "msgcore/archive.hpp"

namespace msg {

void put_be32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 24));
  out.push_back(static_cast<std::uint8_t>(value >> 16));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

std::uint32_t get_be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

std::vector<std::uint8_t> offset_index(std::span<const std::uint32_t> lengths) {
  std::vector<std::uint8_t> out;
  out.reserve(lengths.size() * 4);
  for (const std::uint32_t length : lengths) put_be32(out, length);
  return out;
}

std::uint32_t table_convert(std::vector<std::uint8_t>& index) {
  const std::size_t size = index.size();
  index.resize((size + 3) / 4 * 4, 0);
  std::uint32_t total = 0;
  std::size_t q = 0;
  for (; q < size; q += 4) {
    total += get_be32(&index[q]);
    index[q] = static_cast<std::uint8_t>(total >> 24);
    index[q + 1] = static_cast<std::uint8_t>(total >> 16);
    index[q + 2] = static_cast<std::uint8_t>(total >> 8);
    index[q + 3] = static_cast<std::uint8_t>(total);
  }
  put_be32(index, 0);
  return static_cast<std::uint32_t>(q / 4);
}

std::vector<std::uint8_t> index_file(const Archive& archive, bool table_mode) {
  std::vector<std::uint8_t> index = offset_index(archive.lengths);
  if (table_mode) table_convert(index);
  return index;
}

}  // namespace msg
