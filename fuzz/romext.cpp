// The ROM byte-order straightening on arbitrary images.
#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/check.hpp"
#include "romext/romext.hpp"

namespace {

using romext::CopyMode;

// Where byte k of each output group comes from in its input group.
unsigned source_of(CopyMode mode, unsigned k) {
  switch (mode) {
    case CopyMode::swap16: return k ^ 1u;
    case CopyMode::swap32: return 3u - k;
    case CopyMode::unchanged: break;
  }
  return k;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> image(data, size);
  const romext::ByteOrder order = romext::detect_order(image);
  const CopyMode straightening = romext::straightening_mode(order);
  if (size < 4) FUZZ_CHECK(order == romext::ByteOrder::unknown);

  for (const CopyMode mode : {CopyMode::unchanged, CopyMode::swap16, CopyMode::swap32}) {
    // The copy: the image padded with zero bytes to whole groups, each group rewritten.
    const std::vector<std::uint8_t> copy = romext::copied_image(image, mode);
    FUZZ_CHECK(copy.size() == romext::rounded_to_groups(size));
    FUZZ_CHECK(copy.size() % 4 == 0 && copy.size() >= size && copy.size() < size + 4);
    for (std::size_t i = 0; i < copy.size(); ++i) {
      const std::size_t from = i / 4 * 4 + source_of(mode, i % 4);
      FUZZ_CHECK(copy[i] == (from < size ? data[from] : 0));
    }

    // Every rewriting undoes itself; a part group at the end is left as it is.
    std::vector<std::uint8_t> twice(data, data + size);
    romext::straighten(twice, mode);
    for (std::size_t i = size / 4 * 4; i < size; ++i) FUZZ_CHECK(twice[i] == data[i]);
    romext::straighten(twice, mode);
    FUZZ_CHECK(std::equal(twice.begin(), twice.end(), data, data + size));
  }

  // Straightening a byte-swapped image gives a native one.
  const std::vector<std::uint8_t> straight = romext::copied_image(image, straightening);
  if (order != romext::ByteOrder::unknown) {
    FUZZ_CHECK(romext::detect_order(straight) == romext::ByteOrder::native);
  } else {
    FUZZ_CHECK(straightening == CopyMode::unchanged);
  }
  // The size question counts whole megabits.
  if (size <= 0xFFFFFFFFu) {
    FUZZ_CHECK(romext::megabits(static_cast<std::uint32_t>(size)) == size / 131072);
  }
  return 0;
}
