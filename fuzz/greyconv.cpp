// checkTGA and every greyscale conversion on arbitrary files.
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "fuzz/check.hpp"
#include "greycore/texels.hpp"
#include "tests/greycore/step_oracle.hpp"

using greycore::Bytes;
using greycore::ByteSpan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ByteSpan file(data, size);
  const greycore::TgaCheck check = greycore::checkTGA(file);

  // Without a footer the data runs to the end of the file; with one, to the footer or to the
  // earliest offset in the footer that lies between the data's start and the footer.
  const std::int64_t start = greycore::position(file);
  const std::int64_t footer_at = static_cast<std::int64_t>(size) - greycore::kFooterSize;
  std::int64_t counted = static_cast<std::int64_t>(size) - start;
  if (check.verdict != greycore::Verdict::refused && size >= 18) {
    FUZZ_CHECK(check.footer == greycore::has_footer(file));
    if (check.footer) {
      counted = footer_at - start;
      for (int k = 0; k < 2; ++k) {
        const std::uint8_t* p = data + footer_at + std::ptrdiff_t{4} * k;
        const std::int64_t offset = p[0] | p[1] << 8 | p[2] << 16 | std::int64_t{p[3]} << 24;
        const bool inside = offset > start && offset < footer_at;
        FUZZ_CHECK((k == 0 ? check.stray_extension : check.stray_developer) ==
                   (offset != 0 && !inside ? offset : 0));
        if (inside) counted = std::min(counted, offset - start);
      }
    }
    FUZZ_CHECK(check.size == counted);
  }
  if (check.verdict == greycore::Verdict::accepted) {
    FUZZ_CHECK(greycore::size_warning("x", check).empty() == (check.size == check.header_size()));
  }
  switch (check.verdict) {
    case greycore::Verdict::accepted: FUZZ_CHECK(check.size > 0); break;
    case greycore::Verdict::empty: FUZZ_CHECK(check.size == 0); return 0;
    case greycore::Verdict::too_short:
      // Shorter than the header: no report and no size at all.
      FUZZ_CHECK(size < 18 ? check.size == 0 : check.size < 0);
      return 0;
    case greycore::Verdict::too_large: FUZZ_CHECK(check.size > greycore::kMaxDataSize); return 0;
    case greycore::Verdict::refused: return 0;
  }

  // Each conversion writes one byte per step of the data (2 or 4 bytes, the last step rounded
  // up), exactly the bytes of the plain byte-by-byte walk.
  constexpr int kKeys[] = {'1', '2', '3', '4', '5'};
  for (const int key : kKeys) {
    const std::int64_t step = (key == '1' || key == '5') ? 2 : 4;
    const Bytes out = greycore::convert(file, check.size, greycore::kAllTexels[key - '1']);
    FUZZ_CHECK(static_cast<std::int64_t>(out.size()) == (check.size + step - 1) / step);
    FUZZ_CHECK(out == oracle::converted(file, check.size, key));
  }
  return 0;
}
