// checkTGA and every greyscale conversion on arbitrary files.
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "fuzz/check.hpp"
#include "greyconv/greyconv.hpp"
#include "tests/greyconv/step_oracle.hpp"

using greyconv::Bytes;
using greyconv::ByteSpan;

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
    FUZZ_CHECK(out == oracle::converted(file, check.size, key));
  }
  FUZZ_CHECK(greyconv::convert(file, check.size, '6').empty());
  return 0;
}
