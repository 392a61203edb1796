#include "tga_fixture.hpp"

#include <string_view>

#include "base/bytes.hpp"

namespace greytest {

Tga& Tga::colour_map(std::uint8_t type, std::uint16_t length, std::uint8_t entry_bits) {
  header_[greycore::field::kMapType] = type;
  bytes::store_le16(&header_[greycore::field::kMapLength], length);
  header_[greycore::field::kMapEntryBits] = entry_bits;
  return *this;
}

testsupport::Bytes Tga::bytes() const {
  namespace field = greycore::field;
  testsupport::Bytes f(header_.begin(), header_.end());
  f[field::kIdLength] = static_cast<std::uint8_t>(id_.size());
  if (size_) {
    bytes::store_le16(&f[field::kWidth], (*size_)[0]);
    bytes::store_le16(&f[field::kHeight], (*size_)[1]);
  } else {
    // One row while that fits the 16-bit width, rows of 256 beyond.
    const std::size_t pixel = (header_[field::kDepth] + 7u) / 8u;
    const std::size_t pixels = pixel == 0 ? 0 : data_.size() / pixel;
    bytes::store_le16(&f[field::kWidth],
                      static_cast<std::uint16_t>(pixels <= 0xFFFF ? pixels : 256));
    bytes::store_le16(&f[field::kHeight],
                      static_cast<std::uint16_t>(pixels <= 0xFFFF ? 1 : pixels / 256));
  }
  f.insert(f.end(), id_.begin(), id_.end());
  f.insert(f.end(), data_.begin(), data_.end());
  f.insert(f.end(), trailer_.begin(), trailer_.end());
  if (footer_) {
    const auto end = greycore::footer(extension_, developer_);
    f.insert(f.end(), end.begin(), end.end());
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
