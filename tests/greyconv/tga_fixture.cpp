#include "tga_fixture.hpp"

#include <cstdio>
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
  f[0] = static_cast<std::uint8_t>(id_.size());
  f.insert(f.end(), id_.begin(), id_.end());
  f.insert(f.end(), data_.begin(), data_.end());
  if (footer_) {
    f.push_back(footer_first_);
    f.insert(f.end(), 7, 0);  // extension and developer area offsets
    constexpr std::string_view signature("TRUEVISION-XFILE.\0", 18);
    for (char c : signature) f.push_back(static_cast<std::uint8_t>(c));
  }
  return f;
}

Checked check(const testsupport::Bytes& file) {
  Checked out;
  std::FILE* report = std::tmpfile();
  if (report == nullptr) return out;
  out.check = greyconv::checkTGA(report, file);
  const long length = std::ftell(report);
  std::rewind(report);
  out.report.resize(static_cast<std::size_t>(length));
  if (length > 0 &&
      std::fread(out.report.data(), 1, out.report.size(), report) != out.report.size())
    out.report = "(report not readable)";
  std::fclose(report);
  return out;
}

}  // namespace greytest
