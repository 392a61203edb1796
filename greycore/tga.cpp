#include "greycore/tga.hpp"

#include <cstring>

#include "base/bytes.hpp"
#include "base/text.hpp"

namespace greycore {
namespace {

using text::cat;

// A header byte; past the end of the file it reads as 0xFF.
unsigned byte_at(ByteSpan file, std::size_t offset) {
  return offset < file.size() ? file[offset] : 0xFFu;
}

unsigned u16_at(ByteSpan file, std::size_t offset) {
  return byte_at(file, offset) | (byte_at(file, offset + 1) << 8);
}

std::uint32_t u32_at(ByteSpan file, std::size_t offset) {
  return static_cast<std::uint32_t>(u16_at(file, offset) | (u16_at(file, offset + 2) << 16));
}

std::string bytes_of(std::int64_t n) {
  return cat({std::to_string(n), n == 1 ? " byte" : " bytes"});
}

// Ends the data of an image with a footer at the earliest area the footer points to that lies
// after the start of the data and before the footer; other non-zero offsets are kept as strays.
void find_data_end(ByteSpan file, std::int64_t start, TgaCheck& check) {
  const std::int64_t footer_at = static_cast<std::int64_t>(file.size()) - kFooterSize;
  std::int64_t end = footer_at;
  check.end = DataEnd::footer;
  const struct {
    std::uint32_t offset;
    DataEnd area;
    std::uint32_t& stray;
  } areas[] = {
      {u32_at(file, static_cast<std::size_t>(footer_at)), DataEnd::extension,
       check.stray_extension},
      {u32_at(file, static_cast<std::size_t>(footer_at) + 4), DataEnd::developer,
       check.stray_developer},
  };
  for (const auto& a : areas) {
    if (a.offset == 0) continue;
    if (a.offset <= start || a.offset >= footer_at) {
      a.stray = a.offset;
    } else if (a.offset < end) {
      end = a.offset;
      check.end = a.area;
    }
  }
  check.size = end - start;
}

}  // namespace

bool has_footer(ByteSpan file) {
  constexpr std::size_t kSize = sizeof kFooterSignature;
  if (file.size() < static_cast<std::size_t>(kFooterSize)) return false;
  return std::memcmp(file.data() + file.size() - kSize, kFooterSignature, kSize) == 0;
}

std::vector<std::uint8_t> grey_header(std::uint16_t width, std::uint16_t height, std::uint8_t depth,
                                      std::uint8_t descriptor) {
  std::vector<std::uint8_t> h(static_cast<std::size_t>(kHeaderSize), 0);
  h[field::kImageType] = kGreyscale;
  bytes::store_le16(&h[field::kWidth], width);
  bytes::store_le16(&h[field::kHeight], height);
  h[field::kDepth] = depth;
  h[field::kDescriptor] = descriptor;
  return h;
}

std::vector<std::uint8_t> footer(std::uint32_t extension, std::uint32_t developer) {
  std::vector<std::uint8_t> f;
  f.reserve(static_cast<std::size_t>(kFooterSize));
  bytes::append_le32(f, extension);
  bytes::append_le32(f, developer);
  for (const char c : kFooterSignature) f.push_back(static_cast<std::uint8_t>(c));
  return f;
}

TgaCheck checkTGA(ByteSpan file) {
  TgaCheck check;
  std::string& report = check.report;
  if (file.size() < static_cast<std::size_t>(kHeaderSize)) {
    // Nothing to report: the fields would be bytes past the end of the file.
    check.verdict = Verdict::too_short;
    return check;
  }
  const unsigned colour_map_type = byte_at(file, field::kMapType);
  if (colour_map_type != 0) {
    report = cat({"\nImage is indexed.  ", std::to_string(u16_at(file, field::kMapLength)),
                  " palette entries - ", std::to_string(byte_at(file, field::kMapEntryBits)),
                  " bit samples", "\nWell, not using those at the moment.  Sorry!"});
    return check;
  }

  const unsigned type = byte_at(file, field::kImageType);
  if (type == 0) {
    report = "\nNo image data present.  No point to this...";
    return check;
  }
  if (type & 0x08) {
    report = "\nRLE used.  Not going to bother with this.";
    return check;
  }
  switch (type & 0x07) {
    case 1: report = "\nColormapped image-not yet"; return check;
    case 2: report = "\nTruecolor image (rgba)-not yet"; return check;
    case 3: report = "\nGreyscale image"; break;
    default:  // 0 or 4 to 7: no type line, and the file goes on
      break;
  }

  check.width = u16_at(file, field::kWidth);
  check.height = u16_at(file, field::kHeight);
  check.depth = byte_at(file, field::kDepth);
  const unsigned descriptor = byte_at(file, field::kDescriptor);
  report += cat({"\n", std::to_string(check.depth), " bits per pixel\n",
                 std::to_string(descriptor & kAlphaBits), " bits per alpha\nImage starts at ",
                 (descriptor & kOriginTop) ? "top" : "bottom",
                 (descriptor & kOriginRight) ? " right!" : " left!"});

  // The data runs from the end of the ID field to the footer's areas or the footer, or to the end
  // of the file when the file has no footer (as many image programs write it).
  const std::int64_t start = position(file);
  check.footer = has_footer(file);
  if (check.footer) {
    find_data_end(file, start, check);
  } else {
    check.size = static_cast<std::int64_t>(file.size()) - start;
  }
  check.verdict = check.size > kMaxDataSize ? Verdict::too_large
                  : check.size > 0          ? Verdict::accepted
                  : check.size == 0         ? Verdict::empty
                                            : Verdict::too_short;
  return check;
}

std::string size_warning(const std::string& image, const TgaCheck& check) {
  const std::int64_t expected = check.header_size();
  if (check.verdict != Verdict::accepted || check.size == expected) return "";
  const bool shorter = check.size < expected;
  const char* const before[] = {"", " before the footer", " before the extension area",
                                " before the developer directory"};
  std::string text =
      cat({image, ": warning: the header says ", std::to_string(check.width), " x ",
           std::to_string(check.height), " pixels of ", std::to_string(check.depth), " bits (",
           expected == 0 ? "no image data" : bytes_of(expected), "), but ", shorter ? "only " : "",
           bytes_of(check.size), " of image data ", check.size == 1 ? "follows" : "follow", " it",
           before[static_cast<int>(check.end)], shorter ? "; only those " : "; all ",
           std::to_string(check.size), " are converted"});

  // Offsets that were perhaps meant to end the data.
  const std::string extension =
      check.stray_extension ? cat({"extension area offset ", std::to_string(check.stray_extension)})
                            : "";
  const std::string developer =
      check.stray_developer
          ? cat({"developer directory offset ", std::to_string(check.stray_developer)})
          : "";
  if (check.stray_extension && check.stray_developer) {
    text += cat({"; the footer's ", extension, " and ", developer,
                 " point outside the image data and are ignored"});
  } else if (check.stray_extension || check.stray_developer) {
    text += cat(
        {"; the footer's ", extension, developer, " points outside the image data and is ignored"});
  }
  return text;
}

std::int64_t position(ByteSpan file) { return kHeaderSize + byte_at(file, 0); }

}  // namespace greycore
