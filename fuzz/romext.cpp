// The ROM byte-order straightening on arbitrary images.
#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/check.hpp"
#include "romcore/byteorder.hpp"
#include "romext/romext.hpp"
#include "tests/romcore/straighten_oracle.hpp"

using rom::CopyMode;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> image(data, size);
  const rom::ByteOrder order = rom::detect_order(image);
  const CopyMode straightening = rom::straightening_mode(order);
  if (size < 4) FUZZ_CHECK(order == rom::ByteOrder::unknown);

  for (const CopyMode mode : {CopyMode::unchanged, CopyMode::swap16, CopyMode::swap32}) {
    // The copy: the image padded with zero bytes to whole groups, each group rewritten.
    const std::vector<std::uint8_t> copy = rom::copied_image(image, mode);
    FUZZ_CHECK(copy.size() == rom::rounded_to_groups(size));
    FUZZ_CHECK(copy.size() % 4 == 0 && copy.size() >= size && copy.size() < size + 4);
    FUZZ_CHECK(copy == oracle::straightened(image, mode));

    // Every rewriting undoes itself; a part group at the end is left as it is.
    std::vector<std::uint8_t> twice(data, data + size);
    rom::straighten(twice, mode);
    for (std::size_t i = size / 4 * 4; i < size; ++i) FUZZ_CHECK(twice[i] == data[i]);
    rom::straighten(twice, mode);
    FUZZ_CHECK(std::equal(twice.begin(), twice.end(), data, data + size));
  }

  // Straightening a byte-swapped image gives a native one.
  const std::vector<std::uint8_t> straight = rom::copied_image(image, straightening);
  if (order != rom::ByteOrder::unknown) {
    FUZZ_CHECK(rom::detect_order(straight) == rom::ByteOrder::native);
  } else {
    FUZZ_CHECK(straightening == CopyMode::unchanged);
  }
  // The size question counts whole megabits.
  if (size <= 0xFFFFFFFFu) {
    FUZZ_CHECK(romext::megabits(static_cast<std::uint32_t>(size)) == size / 131072);
  }
  return 0;
}
