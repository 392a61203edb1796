// The scanner on arbitrary images: the scan is the trial decode at every aligned offset outside
// the blocks found (so the sizes it refuses before decoding are truly impossible), and the trial
// decode at every signature agrees with the plain decoders of the tests, bounds and table order
// included; every block found expands to the plain decoder's bytes. The first byte chooses the
// alignment and the most expanded size. (An image with more Yay0 or MIO0 headers that decode for
// long than the scan's linear bound lets it try has its blocks checked alone.)
#include <cstdint>
#include <vector>

#include "fuzz/check.hpp"
#include "scancore/scan.hpp"
#include "tests/yazcore/plain_decoder.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Whether a block starts at `k` by the plain decoders, and where it ends.
std::optional<std::size_t> plain_end(const Bytes& image, std::size_t k, std::uint32_t max) {
  const Bytes rest(image.begin() + static_cast<std::ptrdiff_t>(k), image.end());
  if (rest.size() <= 16) return std::nullopt;
  const auto layout = yazcore::classify(rest);
  if (layout == yazcore::Layout::other) return std::nullopt;
  const std::uint32_t size = bytes::load_be32(rest.data() + 4);
  if (size == 0 || size > max) return std::nullopt;
  if (layout == yazcore::Layout::yaz0) {
    const oracle::Plain p = oracle::plain_yaz0(rest, false);
    if (p.status != yazcore::Status::done) return std::nullopt;
    return k + p.chunks;
  }
  const std::uint32_t link = bytes::load_be32(rest.data() + 8);
  const std::uint32_t chunk = bytes::load_be32(rest.data() + 12);
  if (link < 16 || chunk < link) return std::nullopt;
  const oracle::Plain p = oracle::plain_tables(rest, layout == yazcore::Layout::mio0);
  if (p.status != yazcore::Status::done || p.masks > link || p.links > chunk) return std::nullopt;
  return k + std::max(p.links, p.chunks);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t align = std::size_t{1} << (data[0] % 4);
  const std::uint32_t max = data[0] & 0x80 ? 1u << (data[0] & 0x1F) : scancore::kDefaultMax;
  const Bytes image(data + 1, data + size);
  const scancore::Scan s = scancore::scan(image, {.align = align, .max = max});
  if (s.untried > 0) {  // the linear bound was reached: each block listed is still a block
    std::uint64_t covered = 0;
    for (const scancore::Block& b : s.blocks) {
      FUZZ_CHECK(b.offset % align == 0 && b.offset >= covered);
      FUZZ_CHECK(scancore::trial(image, b.offset, max) == b);
      covered = b.end;
    }
    return 0;
  }
  std::size_t next = 0;
  std::uint64_t covered = 0, rejected = 0;
  for (std::size_t k = 0; k + 4 <= image.size(); k += align) {
    if (k < covered || yazcore::classify({image.data() + k, 4}) == yazcore::Layout::other) {
      continue;
    }
    const auto block = scancore::trial(image, k, max);
    const auto end = plain_end(image, k, max);
    FUZZ_CHECK(block.has_value() == end.has_value());
    if (!block) {
      ++rejected;
      continue;
    }
    FUZZ_CHECK(block->end == *end && block->offset == k);
    FUZZ_CHECK(next < s.blocks.size() && s.blocks[next] == *block);
    const Bytes rest(image.begin() + static_cast<std::ptrdiff_t>(k), image.end());
    const Bytes out = scancore::expand(image, *block);
    FUZZ_CHECK(out.size() == block->expanded);
    const oracle::Plain plain =
        block->format == scancore::Format::yaz0
            ? oracle::plain_yaz0(rest, false)
            : oracle::plain_tables(rest, block->format == scancore::Format::mio0);
    FUZZ_CHECK(out == plain.out);
    ++next;
    covered = block->end;
  }
  FUZZ_CHECK(next == s.blocks.size() && rejected == s.rejected);
  FUZZ_CHECK(s.free.start >= covered && s.free.end == image.size());
  return 0;
}
