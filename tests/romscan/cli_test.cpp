// End-to-end runs of the built romscan.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "scancore/list.hpp"
#include "support/testsupport.hpp"
#include "tests/romcore/rom_images.hpp"
#include "tests/scancore/planted.hpp"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

RunResult romscan(const TempDir& dir, const std::vector<std::string>& args,
                  const std::string& input = "") {
  return run(program("romscan"), args, input, dir.path());
}

bool holds(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Three blocks, one of each format, in an image of 1 MiB doubled with zeros.
planted::Image small_image() {
  std::mt19937 rng(21);
  planted::Image image;
  do {
    image = planted::plant(rng, 1 << 20, 3, 3000);
  } while (image.blocks[0].format == image.blocks[1].format);
  image.bytes.resize(2 << 20, 0);
  return image;
}

}  // namespace

TEST(RomscanCli, ListsTheBlocksInEachByteOrderAndAsTsv) {
  const planted::Image image = small_image();
  for (const auto order :
       {rom::ByteOrder::native, rom::ByteOrder::swapped16, rom::ByteOrder::swapped32}) {
    TempDir dir;
    write_bytes(dir / "game.rom", romtest::in_order(image.bytes, order));
    RunResult r = romscan(dir, {"game.rom"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const bool swapped = order != rom::ByteOrder::native;
    EXPECT_EQ(holds(r.out, "; the offsets are those of the native image\n"), swapped) << r.out;
    for (const scancore::Block& b : image.blocks) {
      EXPECT_TRUE(holds(r.out, scancore::hex_offset(b.offset) + "  " + scancore::hex_offset(b.end) +
                                   "  " + scancore::format_name(b.format)))
          << r.out;
    }
    EXPECT_TRUE(holds(r.out, "\n3 blocks: ")) << r.out;
    EXPECT_TRUE(holds(r.out, "\nfree area: ")) << r.out;
    r = romscan(dir, {"--tsv", "game.rom"});
    std::string rows = "offset\tend\tformat\tpacked\texpanded\n";
    for (const scancore::Block& b : image.blocks) {
      rows += scancore::hex_offset(b.offset) + "\t" + scancore::hex_offset(b.end) + "\t" +
              scancore::format_name(b.format) + "\t" + std::to_string(b.packed()) + "\t" +
              std::to_string(b.expanded) + "\n";
    }
    EXPECT_EQ(r.out, rows);
  }
}

TEST(RomscanCli, ExtractsEachBlockAndAsksBeforeReplacingFiles) {
  const planted::Image image = small_image();
  TempDir dir;
  write_bytes(dir / "game.z64", image.bytes);
  RunResult r = romscan(dir, {"--extract", "out", "game.z64"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(holds(r.out, "wrote 3 files and list.tsv into out\n")) << r.out;
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(read_bytes(dir / "out" / scancore::block_file_name(image.blocks[i].offset)),
              image.contents[i]);
  }
  const auto list = scancore::read_list(string_of(read_bytes(dir / "out" / "list.tsv")));
  ASSERT_TRUE(list.ok());
  ASSERT_EQ(list->entries.size(), 3u);
  EXPECT_EQ(list->entries[2].offset, image.blocks[2].offset);
  EXPECT_EQ(list->entries[2].format, image.blocks[2].format);
  // An edited file is never replaced without a yes; no asks for another folder.
  write_text(dir / "out" / "list.tsv", "mine");
  r = romscan(dir, {"--extract=out", "game.z64"}, "n\n");
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_TRUE(holds(r.out, "\"out\" already holds 4 of these files (")) << r.out;
  EXPECT_TRUE(holds(r.out, "\nfolder for the files? ")) << r.out;
  EXPECT_EQ(string_of(read_bytes(dir / "out" / "list.tsv")), "mine");
  r = romscan(dir, {"--extract", "out", "game.z64"}, "n\nother\n");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir / "other" / "list.tsv"));
  r = romscan(dir, {"--extract", "out", "game.z64"}, "y\n");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(string_of(read_bytes(dir / "out" / "list.tsv")), "mine");
}

TEST(RomscanCli, SwitchesAndRefusals) {
  TempDir dir;
  std::mt19937 rng(22);
  write_bytes(dir / "fakes.bin", planted::fake_headers(rng, 1 << 16));
  RunResult r = romscan(dir, {"--align", "16", "--max", "64K", "fakes.bin"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(holds(r.out, "no blocks\n4,096 signatures that are no block\n")) << r.out;
  const struct {
    std::vector<std::string> args;
    const char* err;
  } cases[] = {
      {{"--align", "0", "fakes.bin"}, "--align 0: not a number of bytes from 1 to 1048576"},
      {{"--max", "lots", "fakes.bin"}, "--max lots: not a size"},
      {{"--max", "4096M", "fakes.bin"}, "--max 4096M: not a size"},
      {{"fakes.bin", "second"}, "one image at most ('second' is a second name)"},
      {{"--extract"}, "--extract needs a folder"},
  };
  for (const auto& c : cases) {
    r = romscan(dir, c.args);
    EXPECT_EQ(r.exit_code, 2) << c.err;
    EXPECT_TRUE(holds(r.err, c.err)) << r.err;
    EXPECT_EQ(r.out, "");
  }
  r = romscan(dir, {}, "missing.bin\n");
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_TRUE(holds(r.out, "\nROM image? \nROM image? ")) << r.out;
}
