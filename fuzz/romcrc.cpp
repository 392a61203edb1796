// The boot check on arbitrary bytes. The input as it stands goes through the header, the chip
// search, the sum and the program's examination and report, which refuse what is too short or
// in no byte order and never read past its end. Then an image is made of the input repeated to
// fill the checked area, with the native first word and, when the second input byte asks for it,
// every n-th checked word made equal to e where the sum reaches it; its check code in the chip
// the first byte names must be the slow sum's, read back through any of the three byte orders.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/check.hpp"
#include "romcore/bootcheck.hpp"
#include "romcore/header.hpp"
#include "romcrc/romcrc.hpp"
#include "tests/romcore/rom_images.hpp"
#include "tests/romcore/slow_check.hpp"

namespace {

using rom::Cic;
constexpr Cic kChips[] = {Cic::c6101, Cic::c6102, Cic::c7101, Cic::c7102, Cic::c6103, Cic::c7103,
                          Cic::c6105, Cic::c7105, Cic::c6106, Cic::c7106, Cic::c8303, Cic::unknown};
constexpr rom::ByteOrder kOrders[] = {rom::ByteOrder::native, rom::ByteOrder::swapped16,
                                      rom::ByteOrder::swapped32};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  FUZZ_CHECK(rom::read_header(input).has_value() == (size >= rom::kHeaderLength));
  FUZZ_CHECK(rom::boot_code_crc(input).has_value() == (size >= rom::kBootCodeEnd));
  const Cic found = rom::identify_cic(input);
  FUZZ_CHECK(size >= rom::kBootCodeEnd || found == Cic::unknown);
  for (const Cic cic : kChips) {
    FUZZ_CHECK(!rom::compute_check(input, cic) || size >= rom::kCheckedImageLength);
  }
  (void)rom::stored_check(input);
  const auto raw = romcrc::examine(input, std::nullopt);
  FUZZ_CHECK(size >= rom::kCheckedImageLength || !raw.ok());
  if (size < 3) return 0;

  romtest::Bytes image(data, data + std::min(size, rom::kCheckedImageLength));
  while (image.size() < rom::kCheckedImageLength) {
    image.insert(image.end(), image.begin(),
                 image.begin() + static_cast<std::ptrdiff_t>(std::min(
                                     image.size(), rom::kCheckedImageLength - image.size())));
  }
  const std::uint8_t head[] = {0x80, 0x37, 0x12, 0x40};
  std::copy(std::begin(head), std::end(head), image.begin());
  const Cic cic = kChips[data[0] % std::size(kChips)];
  const std::size_t stride = data[1] % 16;  // 0: no word forced
  romtest::SlowSum sum(image, cic);
  for (std::size_t i = 0; i < rom::kCheckedLength / 4; ++i) {
    std::uint8_t* at = image.data() + rom::kCheckedStart + 4 * i;
    if (stride != 0 && i % stride == 0) bytes::store_be32(at, sum.e());
    sum.add(i, bytes::load_be32(at));
  }
  const auto code = rom::compute_check(image, cic);
  FUZZ_CHECK(code.has_value() == rom::has_cartridge_check(cic));
  if (code) FUZZ_CHECK(*code == sum.code());

  const rom::ByteOrder order = kOrders[data[2] % 3];
  romtest::Bytes file = romtest::in_order(image, order);
  const auto forced = rom::has_cartridge_check(cic) ? std::optional(cic) : std::nullopt;
  const auto examined = romcrc::examine(file, forced);
  FUZZ_CHECK(examined.ok());
  const romcrc::Examination& x = *examined;
  FUZZ_CHECK(x.order == order && x.size == file.size());
  FUZZ_CHECK(x.stored == rom::stored_check(image) && x.detected == rom::identify_cic(image));
  FUZZ_CHECK(x.computed == (x.cic == cic ? code : rom::compute_check(image, x.cic)));
  FUZZ_CHECK(romcrc::report("f", x, false).find("check code:") != std::string::npos);
  // A code stored in the file's own order reads back from the straightened header, and storing
  // the old one gives the file back.
  const rom::CheckCode other{sum.e(), static_cast<std::uint32_t>(size)};
  romtest::Bytes header(file.begin(), file.begin() + rom::kHeaderLength);
  rom::store_check(header, order, other);
  FUZZ_CHECK(rom::stored_check(romtest::in_order(header, order)) == other);
  rom::store_check(header, order, x.stored);
  FUZZ_CHECK(std::equal(header.begin(), header.end(), file.begin()));
  return 0;
}
