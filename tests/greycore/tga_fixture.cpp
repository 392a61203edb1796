#include "tga_fixture.hpp"

#include <string_view>

namespace greytest {

Tga& Tga::colour_map(std::uint8_t type, std::uint16_t length, std::uint8_t entry_bits) {
  header_[1] = type;
  header_[5] = static_cast<std::uint8_t>(length);
  header_[6] = static_cast<std::uint8_t>(length >> 8);
  header_[7] = entry_bits;
  return *this;
}

testsupport::Bytes Tga::bytes() const {
  testsupport::Bytes f(header_.begin(), header_.end());
  auto put16 = [&f](std::size_t at, unsigned v) {
    f[at] = static_cast<std::uint8_t>(v);
    f[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  auto push32 = [&f](std::uint32_t v) {
    for (int k = 0; k < 4; ++k) f.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
  };
  f[0] = static_cast<std::uint8_t>(id_.size());
  if (size_) {
    put16(12, (*size_)[0]);
    put16(14, (*size_)[1]);
  } else {
    // One row while that fits the 16-bit width, rows of 256 beyond.
    const std::size_t pixel = (header_[16] + 7u) / 8u;
    const std::size_t pixels = pixel == 0 ? 0 : data_.size() / pixel;
    put16(12, static_cast<unsigned>(pixels <= 0xFFFF ? pixels : 256));
    put16(14, static_cast<unsigned>(pixels <= 0xFFFF ? 1 : pixels / 256));
  }
  f.insert(f.end(), id_.begin(), id_.end());
  f.insert(f.end(), data_.begin(), data_.end());
  f.insert(f.end(), trailer_.begin(), trailer_.end());
  if (footer_) {
    push32(extension_);
    push32(developer_);
    constexpr std::string_view signature("TRUEVISION-XFILE.\0", 18);
    for (char c : signature) f.push_back(static_cast<std::uint8_t>(c));
  }
  return f;
}

Checked check(const testsupport::Bytes& file) {
  Checked out;
  out.check = greycore::checkTGA(file);
  out.report = out.check.report;
  return out;
}

}  // namespace greytest
