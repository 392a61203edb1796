#include <cstring>

#include "greyconv/greyconv.hpp"

namespace greyconv {
namespace {

// A header byte; past the end of the file it reads as 0xFF.
unsigned byte_at(ByteSpan file, std::size_t offset) {
  return offset < file.size() ? file[offset] : 0xFFu;
}

}  // namespace

bool has_footer(ByteSpan file) {
  static constexpr char kSignature[] = "TRUEVISION-XFILE.";  // 17 characters and the NUL: 18 bytes
  static_assert(sizeof kSignature == 18);
  if (file.size() < static_cast<std::size_t>(kFooterSize)) return false;
  return std::memcmp(file.data() + file.size() - sizeof kSignature, kSignature,
                     sizeof kSignature) == 0;
}

TgaCheck checkTGA(std::FILE* report, ByteSpan file) {
  TgaCheck check;
  if (file.size() < static_cast<std::size_t>(kHeaderSize)) {
    // Nothing to report: the fields would be bytes past the end of the file.
    check.verdict = Verdict::too_short;
    return check;
  }
  const unsigned id_length = byte_at(file, 0);
  const unsigned colour_map_type = byte_at(file, 1);
  if (colour_map_type != 0) {
    const unsigned entries = byte_at(file, 5) | (byte_at(file, 6) << 8);
    std::fprintf(report, "\nImage is indexed.  %u palette entries - %u bit samples", entries,
                 byte_at(file, 7));
    std::fputs("\nWell, not using those at the moment.  Sorry!", report);
    return check;
  }

  const unsigned type = byte_at(file, 2);
  if (type == 0) {
    std::fputs("\nNo image data present.  No point to this...", report);
    return check;
  }
  if (type & 0x08) {
    std::fputs("\nRLE used.  Not going to bother with this.", report);
    return check;
  }
  switch (type & 0x07) {
    case 1: std::fputs("\nColormapped image-not yet", report); return check;
    case 2: std::fputs("\nTruecolor image (rgba)-not yet", report); return check;
    case 3: std::fputs("\nGreyscale image", report); break;
    default:  // 0 or 4 to 7: no type line, and the file goes on
      break;
  }

  std::fprintf(report, "\n%u bits per pixel", byte_at(file, 16));
  const unsigned descriptor = byte_at(file, 17);
  std::fprintf(report, "\n%u bits per alpha", descriptor & 0x0F);
  std::fprintf(report, "\nImage starts at %s %s!", (descriptor & 0x20) ? "top" : "bottom",
               (descriptor & 0x10) ? "right" : "left");

  // The data runs from the end of the ID field to the footer, or to the end of the file when the
  // file has no footer (as many image programs write it).
  check.footer = has_footer(file);
  check.size = static_cast<std::int64_t>(file.size()) - id_length - kHeaderSize -
               (check.footer ? kFooterSize : 0);
  check.verdict = check.size > kMaxDataSize ? Verdict::too_large
                  : check.size > 0          ? Verdict::accepted
                  : check.size == 0         ? Verdict::empty
                                            : Verdict::too_short;
  return check;
}

std::int64_t position(ByteSpan file) { return kHeaderSize + byte_at(file, 0); }

}  // namespace greyconv
