// checkTGA and every greyscale conversion on arbitrary files.
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "fuzz/check.hpp"
#include "greyconv/greyconv.hpp"

namespace {

using greyconv::Bytes;
using greyconv::ByteSpan;

// The conversions byte by byte, as plainly as they can be written: the image data from
// `first` in steps of `step` bytes while the offset is below first + size; a byte past the end of
// the file reads as 0xFF.
template <class Make>
Bytes reference(ByteSpan file, std::int64_t first, std::int64_t size, std::int64_t step,
                Make make) {
  const auto at = [&](std::int64_t offset) -> unsigned {
    return offset < static_cast<std::int64_t>(file.size()) ? file[static_cast<std::size_t>(offset)]
                                                           : 0xFFu;
  };
  Bytes out;
  for (std::int64_t offset = first; offset < first + size; offset += step) {
    out.push_back(make(at(offset), at(offset + 1), at(offset + 2), at(offset + 3)));
  }
  return out;
}

unsigned nibble(unsigned p) { return std::min(p + 8u, 0xFFu) >> 4; }

Bytes expected(ByteSpan file, std::int64_t size, int key) {
  const std::int64_t first = greyconv::position(file);
  switch (key) {
    case '1':
      return reference(file, first, size, 2, [](unsigned i, unsigned a, unsigned, unsigned) {
        return static_cast<std::uint8_t>((a >> 4) == 0 ? 0 : (i & 0xF0) | (a >> 4));
      });
    case '2':
      return reference(file, first, size, 4,
                       [](unsigned i1, unsigned a1, unsigned i2, unsigned a2) {
                         const unsigned high = a1 > 0x40 ? (i1 & 0xE0) | 0x10 : 0;
                         const unsigned low = a2 > 0x40 ? ((i2 >> 5) << 1) | 1 : 0;
                         return static_cast<std::uint8_t>(high | low);
                       });
    case '3':
    case '4':
      return reference(file, first + (key == '3' ? 1 : 0), size, 4,
                       [](unsigned p0, unsigned, unsigned p2, unsigned) {
                         return static_cast<std::uint8_t>((p0 & 0xF0) | (p2 >> 4));
                       });
    default:
      return reference(file, first, size, 2, [](unsigned p0, unsigned p1, unsigned, unsigned) {
        return static_cast<std::uint8_t>((nibble(p0) << 4) | nibble(p1));
      });
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ByteSpan file(data, size);
  const greyconv::TgaCheck check = greyconv::checkTGA(fuzz::quiet(), file);

  const std::int64_t counted = static_cast<std::int64_t>(size) - greyconv::position(file) -
                               (check.footer ? greyconv::kFooterSize : 0);
  if (check.verdict != greyconv::Verdict::refused) {
    FUZZ_CHECK(check.footer == greyconv::has_footer(file));
  }
  switch (check.verdict) {
    case greyconv::Verdict::accepted: FUZZ_CHECK(check.size > 0 && check.size == counted); break;
    case greyconv::Verdict::empty: FUZZ_CHECK(check.size == 0 && counted == 0); return 0;
    case greyconv::Verdict::too_short:
      // Shorter than the header: no report and no size at all.
      FUZZ_CHECK(size < 18 ? check.size == 0 : check.size < 0 && check.size == counted);
      return 0;
    case greyconv::Verdict::too_large:
      FUZZ_CHECK(check.size > greyconv::kMaxDataSize && check.size == counted);
      return 0;
    case greyconv::Verdict::refused: return 0;
  }

  // Each conversion writes one byte per step of the data (2 or 4 bytes, the last step rounded
  // up), exactly the bytes of the plain byte-by-byte walk.
  constexpr int kKeys[] = {'1', '2', '3', '4', '5'};
  for (const int key : kKeys) {
    const std::int64_t step = (key == '1' || key == '5') ? 2 : 4;
    const Bytes out = greyconv::convert(file, check.size, key);
    FUZZ_CHECK(static_cast<std::int64_t>(out.size()) == (check.size + step - 1) / step);
    FUZZ_CHECK(out == expected(file, check.size, key));
  }
  FUZZ_CHECK(greyconv::convert(file, check.size, '6').empty());
  return 0;
}
