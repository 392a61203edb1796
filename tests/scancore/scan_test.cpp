// The scanner against images with known blocks: plant blocks of all three formats between random
// and code-like bytes, scan the image in each byte order, and compare exactly; images full of
// headers that are no block; and images of headers that decode for long.
#include <gtest/gtest.h>

#include <random>

#include "scancore/scan.hpp"
#include "scancore/trials.hpp"
#include "tests/romcore/rom_images.hpp"
#include "tests/scancore/planted.hpp"

using scancore::Block;

namespace rom {
inline void PrintTo(ByteOrder order, std::ostream* os) { *os << order_name(order); }
}  // namespace rom
namespace scancore {
inline void PrintTo(const Block& b, std::ostream* os) {
  *os << format_name(b.format) << " " << hex_offset(b.offset) << "-" << hex_offset(b.end) << " of "
      << b.expanded;
}
}  // namespace scancore

namespace {

// The scan by its definition: a trial decode at every aligned offset outside the blocks found.
std::vector<Block> reference_scan(scancore::ByteSpan image, const scancore::ScanOptions& o) {
  std::vector<Block> blocks;
  std::uint64_t covered = 0;
  for (std::size_t k = 0; k + 4 <= image.size(); k += o.align) {
    if (k < covered) continue;
    if (const auto b = scancore::trial(image, k, o.max)) {
      blocks.push_back(*b);
      covered = b->end;
    }
  }
  return blocks;
}

}  // namespace

TEST(Scan, FindsExactlyThePlantedBlocksInEveryByteOrder) {
  std::mt19937 rng(11);
  for (int round = 0; round < 6; ++round) {
    planted::Image image = planted::plant(rng, (1 + rng() % 3) << 20, 10 + rng() % 40);
    // Half the images end in the zeros or FF bytes romext's doubling leaves.
    const std::size_t used = image.bytes.size();
    if (round % 2) image.bytes.resize(2 * used, round % 4 == 1 ? 0x00 : 0xFF);
    for (const auto order :
         {rom::ByteOrder::native, rom::ByteOrder::swapped16, rom::ByteOrder::swapped32}) {
      const auto file = romtest::in_order(image.bytes, order);
      const scancore::NativeImage native(file);
      ASSERT_EQ(native.order(), order);
      const scancore::Scan s = scancore::scan(native.bytes());
      ASSERT_EQ(s.blocks, image.blocks) << "round " << round;
      EXPECT_EQ(s.rejected, 0u);
      for (std::size_t i = 0; i < s.blocks.size(); ++i) {
        ASSERT_EQ(scancore::expand(native.bytes(), s.blocks[i]), image.contents[i]);
      }
      // The free area: the run of the last byte's value back to the last block or another byte.
      const scancore::FreeArea& f = s.free;
      const auto bytes = native.bytes();
      if (round % 2) {
        EXPECT_LE(f.start, used);
        EXPECT_EQ(f.fill, bytes.back());
        EXPECT_EQ(f.aligned, (f.start + 15) / 16 * 16);
      }
      for (std::size_t k = f.start; k < f.end; ++k) ASSERT_EQ(bytes[k], f.fill);
      EXPECT_TRUE(f.start == s.blocks.back().end || f.start == 0 || bytes[f.start - 1] != f.fill ||
                  f.start == f.end);
    }
    // The scan is the trial decode at every aligned offset, at every alignment.
    for (const std::size_t align : {1, 2, 8}) {
      const scancore::ScanOptions o{.align = align};
      EXPECT_EQ(scancore::scan(image.bytes, o).blocks, reference_scan(image.bytes, o));
    }
  }
}

TEST(Scan, HeadersThatAreNoBlockAreCountedNotListed) {
  std::mt19937 rng(12);
  const planted::Bytes image = planted::fake_headers(rng, 1 << 22);
  const scancore::Scan s = scancore::scan(image);
  EXPECT_TRUE(s.blocks.empty());
  EXPECT_EQ(s.rejected, image.size() / 16);
  EXPECT_TRUE(reference_scan(image, {}).empty());
  // --max: a block whose expanded size is larger is not taken.
  std::mt19937 again(13);
  const planted::Image one = planted::plant(again, 1 << 16, 1, 5000);
  EXPECT_EQ(scancore::scan(one.bytes, {.max = one.blocks[0].expanded}).blocks, one.blocks);
  const scancore::Scan smaller = scancore::scan(one.bytes, {.max = one.blocks[0].expanded - 1});
  EXPECT_TRUE(smaller.blocks.empty());
  EXPECT_EQ(smaller.rejected, 1u);
}

TEST(Scan, HeadersThatDecodeForLongCostLinearTime) {
  using scancore::Format;
  std::mt19937 rng(14);
  // Small images, against the trial decode one header at a time and the scan by its definition:
  // Yaz0 headers over FF bytes whose streams meet (sizes and a few bytes changed at random, so
  // that trials end, fail and part anywhere), and Yay0 and MIO0 headers over shared tables.
  for (int round = 0; round < 4; ++round) {
    planted::Bytes image = planted::yaz0_padding(32 << 10);
    for (std::size_t k = 0; k + 16 <= image.size(); k += 36) {
      const std::uint32_t size = rng() % 8 ? 1 + rng() % 4000 : 0x00FFFFFFu;
      bytes::store_be32(&image[k + 4], rng() % 32 ? size | 0xFF : size);
    }
    for (int i = 0; i < 10 * round; ++i) {
      image[rng() % image.size()] = static_cast<std::uint8_t>(rng());
    }
    std::vector<std::uint32_t> offsets;
    for (std::size_t k = 0; k + 16 <= image.size(); k += 36) {
      if (std::equal(image.begin() + k, image.begin() + k + 4, "Yaz0") &&
          bytes::load_be32(&image[k + 4]) != 0) {
        offsets.push_back(static_cast<std::uint32_t>(k));
      }
    }
    const std::vector<std::uint32_t> ends = scancore::trials::yaz0_merged(image, offsets);
    std::size_t done = 0;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
      const auto b = scancore::trial(image, offsets[i]);
      ASSERT_EQ(ends[i], b ? b->end : 0) << "round " << round << ", " << offsets[i];
      done += b.has_value();
    }
    EXPECT_GT(done, offsets.size() / 8);
    const scancore::Scan s = scancore::scan(image, {.align = 1});
    EXPECT_EQ(s.blocks, reference_scan(image, {.align = 1}));
    EXPECT_EQ(s.untried, 0u);
  }
  for (const Format f : {Format::yay0, Format::mio0}) {
    const planted::Bytes image = planted::shared_tables(16 << 10, f);
    const scancore::Scan s = scancore::scan(image);
    EXPECT_EQ(s.blocks, reference_scan(image, {}));
    EXPECT_EQ(s.rejected, (image.size() / 10 / 4 * 4 - 20) / 20 + 1);
    EXPECT_EQ(s.untried, 0u);
  }
  // Larger ones, where every trial runs for long: no block; the Yaz0 trials are all tried, the
  // others as far as the scan's linear bound lets it.
  const planted::Bytes padding = planted::yaz0_padding(2 << 20);
  const scancore::Scan s = scancore::scan(padding);
  EXPECT_TRUE(s.blocks.empty());
  EXPECT_EQ(s.rejected, (padding.size() - 16) / 36 + 1);
  EXPECT_EQ(s.untried, 0u);
  for (const Format f : {Format::yay0, Format::mio0}) {
    const planted::Bytes image = planted::shared_tables(1 << 20, f);
    const scancore::Scan t = scancore::scan(image);
    EXPECT_TRUE(t.blocks.empty());
    EXPECT_EQ(t.rejected + t.untried, (image.size() / 10 / 4 * 4 - 20) / 20 + 1);
    EXPECT_GT(t.untried, 0u);
  }
}
