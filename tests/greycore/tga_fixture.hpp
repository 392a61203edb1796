// Builds small TGA files in memory for the greyconv tests.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "greycore/texels.hpp"
#include "support/testsupport.hpp"

namespace greytest {

// The conversion of one of the converter's menu keys ('1' to '5'), which the oracle is written in.
inline greycore::Texels texels(int key) { return greycore::kAllTexels[key - '1']; }

// A type 3 header (16 bits per pixel, 8 alpha bits, bottom-left origin) whose width and height
// are the data's pixels in one row (unless set), no ID field, the image data, and a TGA 2.0
// footer with zero offsets; each part can be changed.
class Tga {
 public:
  Tga& type(std::uint8_t v) {
    header_[greycore::field::kImageType] = v;
    return *this;
  }
  Tga& colour_map(std::uint8_t type, std::uint16_t length, std::uint8_t entry_bits);
  Tga& depth(std::uint8_t v) {
    header_[greycore::field::kDepth] = v;
    return *this;
  }
  Tga& pixels(std::uint16_t width, std::uint16_t height) {
    size_ = {width, height};
    return *this;
  }
  Tga& descriptor(std::uint8_t v) {
    header_[greycore::field::kDescriptor] = v;
    return *this;
  }
  Tga& id(testsupport::Bytes v) {
    id_ = std::move(v);
    return *this;
  }
  Tga& data(testsupport::Bytes v) {
    data_ = std::move(v);
    return *this;
  }
  // Bytes between the image data and the footer (an extension area, a developer directory).
  Tga& trailer(testsupport::Bytes v) {
    trailer_ = std::move(v);
    return *this;
  }
  // The footer's extension area and developer directory offsets.
  Tga& offsets(std::uint32_t extension, std::uint32_t developer) {
    extension_ = extension;
    developer_ = developer;
    return *this;
  }
  Tga& no_footer() {
    footer_ = false;
    return *this;
  }
  // First byte of the footer (low byte of the extension area offset).
  Tga& footer_first(std::uint8_t v) {
    extension_ = v;
    return *this;
  }
  Tga& footer(bool on) {
    footer_ = on;
    return *this;
  }

  testsupport::Bytes bytes() const;
  std::size_t data_size() const { return data_.size(); }
  // Offset of the first byte after the image data.
  std::uint32_t data_end() const {
    return static_cast<std::uint32_t>(header_.size() + id_.size() + data_.size());
  }

 private:
  testsupport::Bytes header_ = greycore::grey_header(0, 0, 16, 0x08);
  testsupport::Bytes id_;
  testsupport::Bytes data_;
  testsupport::Bytes trailer_;
  std::optional<std::array<std::uint16_t, 2>> size_;
  bool footer_ = true;
  std::uint32_t extension_ = 0;
  std::uint32_t developer_ = 0;
};

// Runs checkTGA and captures its report.
struct Checked {
  greycore::TgaCheck check;
  std::string report;
};
Checked check(const testsupport::Bytes& file);

}  // namespace greytest
