// End-to-end runs of the built romput (with romscan --extract making the list).
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "scancore/list.hpp"
#include "scancore/scan.hpp"
#include "support/testsupport.hpp"
#include "tests/romcore/rom_images.hpp"
#include "tests/scancore/planted.hpp"

using namespace testsupport;
namespace fs = std::filesystem;
using rom::ByteOrder;

namespace {

constexpr std::uint32_t k6102 = 0x90BB6CB5;

RunResult romput(const TempDir& dir, const std::vector<std::string>& args,
                 const std::string& input = "") {
  return run(program("romput"), args, input, dir.path());
}

bool holds(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Planted blocks in a 2 MiB image whose header and boot code are a made-up 6102 image's, with its
// right check code, doubled with zeros (the free area).
planted::Image bootable(unsigned seed) {
  std::mt19937 rng(seed);
  planted::Image image = planted::plant(rng, 2 << 20, 6, 6000);
  const Bytes boot = romtest::made_up_image(k6102, rom::Cic::c6102, true);
  std::copy(boot.begin(), boot.begin() + 0x1000, image.bytes.begin());
  rom::store_check(image.bytes, ByteOrder::native,
                   *rom::compute_check(image.bytes, rom::Cic::c6102));
  image.bytes.resize(4 << 20, 0);
  return image;
}

// The offsets where two images differ.
std::vector<std::size_t> differences(const Bytes& a, const Bytes& b) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    if (a[i] != b[i]) at.push_back(i);
  }
  return at;
}

bool check_code_right(const Bytes& native) {
  return rom::stored_check(native) == rom::compute_check(native, rom::Cic::c6102);
}

// A file edited so that it still fits its slot: cut to two thirds, its last byte changed.
Bytes edited(Bytes b) {
  b.resize(b.size() * 2 / 3 + 1);
  b.back() ^= 0x20;
  return b;
}

}  // namespace

TEST(RomputCli, PutsChangedFilesBackSoThatOnlyTheSlotsAndTheCheckCodeChange) {
  const planted::Image image = bootable(31);
  for (const ByteOrder order : {ByteOrder::native, ByteOrder::swapped16, ByteOrder::swapped32}) {
    TempDir dir;
    write_bytes(dir / "game.rom", romtest::in_order(image.bytes, order));
    RunResult r = run(program("romscan"), {"--extract", "out", "game.rom"}, "", dir.path());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    // Two files edited, the others left alone.
    const std::size_t changed[] = {1, 4};
    for (const std::size_t i : changed) {
      write_bytes(dir / "out" / scancore::block_file_name(image.blocks[i].offset),
                  edited(image.contents[i]));
    }
    r = romput(dir, {"game.rom", "--list", "out/list.tsv"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(holds(r.out, "2 files put back, 4 unchanged\ncheck code: ")) << r.out;
    const Bytes after = romtest::in_order(read_bytes(dir / "game.rom"), order);
    ASSERT_EQ(after.size(), image.bytes.size());
    EXPECT_TRUE(check_code_right(after));
    for (const std::size_t at : differences(image.bytes, after)) {
      const bool in_slot = std::any_of(std::begin(changed), std::end(changed), [&](std::size_t i) {
        return at >= image.blocks[i].offset &&
               at < (std::size_t{image.blocks[i].end} + 15) / 16 * 16;
      });
      ASSERT_TRUE(in_slot || (at >= 0x10 && at < 0x18)) << at;
    }
    const scancore::Scan s = scancore::scan(after);
    ASSERT_EQ(s.blocks.size(), image.blocks.size());
    for (std::size_t i = 0; i < s.blocks.size(); ++i) {
      EXPECT_EQ(s.blocks[i].offset, image.blocks[i].offset);
      const bool edit = i == 1 || i == 4;
      EXPECT_EQ(scancore::expand(after, s.blocks[i]),
                edit ? edited(image.contents[i]) : image.contents[i]);
    }
    // Once more: nothing to do, nothing written.
    r = romput(dir, {"game.rom", "--list", "out/list.tsv"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, std::string(order == ByteOrder::native ? "" : "game.rom is ") +
                         (order == ByteOrder::native
                              ? ""
                              : std::string(rom::order_name(order)) +
                                    ": offsets are those of the native image, and the file keeps "
                                    "its own order\n") +
                         "0 files put back, 6 unchanged; nothing written\n");
  }
}

TEST(RomputCli, OneFileToASecondNameOrIntoTheFreeArea) {
  const planted::Image image = bootable(32);
  TempDir dir;
  write_bytes(dir / "game.z64", image.bytes);
  const scancore::Block& b = image.blocks[2];
  write_bytes(dir / "menu.bin", edited(image.contents[2]));
  const std::string at = scancore::hex_offset(b.offset);
  RunResult r = romput(dir, {"game.z64", at, "menu.bin", "new.z64"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(holds(r.out, "menu.bin: ")) << r.out;
  EXPECT_TRUE(holds(r.out, std::string(" bytes (") + scancore::format_name(b.format) + " of " +
                               scancore::grouped(edited(image.contents[2]).size()) + ") at " + at +
                               "-"))
      << r.out;
  EXPECT_EQ(read_bytes(dir / "game.z64"), image.bytes);
  const Bytes out = read_bytes(dir / "new.z64");
  EXPECT_EQ(scancore::expand(out, *scancore::trial(out, b.offset)), edited(image.contents[2]));
  EXPECT_TRUE(check_code_right(out));
  // Into the free area, compressed as named; the block there is found again.
  const std::uint64_t free = scancore::scan(image.bytes).free.aligned;
  r = romput(dir, {"--mio0", "new.z64", "end", "menu.bin"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(holds(r.out, ") at " + scancore::hex_offset(free) + "-")) << r.out;
  const Bytes moved = read_bytes(dir / "new.z64");
  const auto block = scancore::trial(moved, free);
  ASSERT_TRUE(block.has_value());
  EXPECT_EQ(block->format, scancore::Format::mio0);
  EXPECT_EQ(scancore::expand(moved, *block), edited(image.contents[2]));
  // A file that already is such a block goes in as it is.
  const Bytes packed(image.bytes.begin() + b.offset, image.bytes.begin() + b.end);
  write_bytes(dir / "packed.bin", packed);
  r = romput(dir, {"game.z64", at, "packed.bin"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(holds(r.out, ", as it was) at " + at)) << r.out;
  EXPECT_TRUE(holds(r.out, "as it stood already; nothing written")) << r.out;
}

TEST(RomputCli, RefusalsGetOneLineAndWriteNothing) {
  const planted::Image image = bootable(33);
  const scancore::Block& b = image.blocks[0];
  const std::uint64_t free = scancore::scan(image.bytes).free.aligned;
  std::mt19937 rng(34);
  const Bytes noise = planted::random_bytes(rng, 9000);
  const std::string fmt = scancore::format_name(b.format);
  std::string lower = fmt;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const Bytes other =
      yazcore::encode(image.contents[0],
                      planted::codec(b.format == scancore::Format::yaz0 ? scancore::Format::yay0
                                                                        : scancore::Format::yaz0),
                      yazcore::Mode::best);
  const struct {
    std::vector<std::string> args;
    Bytes file;
    int status;
    std::string err;
  } cases[] = {
      {{"game.z64", scancore::hex_offset(b.offset), "f.bin"},
       noise,
       1,
       "f.bin: " +
           scancore::grouped(
               yazcore::encode(noise, planted::codec(b.format), yazcore::Mode::best).size()) +
           " bytes as " + fmt + "; the slot at " + scancore::hex_offset(b.offset) + " holds "},
      {{"game.z64", scancore::hex_offset(b.offset), "f.bin"},
       noise,
       1,
       "; the free area at " + scancore::hex_offset(free) + " holds it: romput --" + lower +
           " game.z64 end f.bin\n"},
      {{"game.z64", "0x800", "f.bin"}, noise, 1, "lies in the header and boot code (0x0-0xFFF)"},
      {{"game.z64", std::to_string((4 << 20) - 100), "f.bin"},
       noise,
       1,
       "runs past the image's end at 0x00400000; romext doubles the image"},
      {{"--raw", "game.z64", scancore::hex_offset(image.blocks[1].offset - 8), "f.bin"},
       noise,
       1,
       "runs over the " + std::string(scancore::format_name(image.blocks[1].format)) + " block at"},
      {{"game.z64", scancore::hex_offset(b.offset), "f.bin"}, other, 1, "f.bin: it already is a"},
      {{"game.z64", "end", "f.bin"}, {}, 1, "f.bin: the file is empty"},
      {{"game.z64", "12q", "f.bin"}, noise, 2, "'12q' is not an offset"},
      {{"--relocate", "game.z64", "end", "f.bin"}, noise, 2, "--relocate is for --list"},
      {{"--raw", "--yaz0", "game.z64", "end", "f.bin"}, noise, 2, "each name a form; give one"},
      {{"game.z64", "end"}, noise, 2, "an image, an offset and a file are needed"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_bytes(dir / "game.z64", image.bytes);
    write_bytes(dir / "f.bin", c.file);
    const RunResult r = romput(dir, c.args);
    EXPECT_EQ(r.exit_code, c.status) << c.err;
    EXPECT_TRUE(holds(r.err, c.err)) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
    EXPECT_EQ(read_bytes(dir / "game.z64"), image.bytes) << c.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
  }
}

TEST(RomputCli, ListModeIsAllOrNothingAndRelocatesOnRequest) {
  const planted::Image image = bootable(35);
  TempDir dir;
  write_bytes(dir / "game.z64", image.bytes);
  ASSERT_EQ(run(program("romscan"), {"--extract", "out", "game.z64"}, "", dir.path()).exit_code, 0);
  std::mt19937 rng(36);
  const Bytes grown = planted::random_bytes(rng, 20000);  // no longer fits its slot
  write_bytes(dir / "out" / scancore::block_file_name(image.blocks[3].offset), grown);
  write_bytes(dir / "out" / scancore::block_file_name(image.blocks[0].offset),
              edited(image.contents[0]));
  const Bytes list = read_bytes(dir / "out" / "list.tsv");
  RunResult r = romput(dir, {"game.z64", "--list", "out/list.tsv"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(holds(r.err, "bytes too many")) << r.err;
  EXPECT_TRUE(holds(r.err, "out/list.tsv: nothing written\n")) << r.err;
  EXPECT_EQ(read_bytes(dir / "game.z64"), image.bytes);
  r = romput(dir, {"--relocate", "game.z64", "--list", "out/list.tsv"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(holds(r.out, "out/list.tsv: the new offsets of 1 file are written in\n")) << r.out;
  const std::uint64_t free = scancore::scan(image.bytes).free.aligned;
  const auto relisted = scancore::read_list(string_of(read_bytes(dir / "out" / "list.tsv")));
  ASSERT_TRUE(relisted.ok());
  EXPECT_EQ(relisted->entries[3].offset, free);
  EXPECT_EQ(relisted->entries[2].offset, image.blocks[2].offset);
  EXPECT_EQ(relisted->lines.size(), scancore::read_list(string_of(list))->lines.size());
  const Bytes after = read_bytes(dir / "game.z64");
  EXPECT_EQ(scancore::expand(after, *scancore::trial(after, free)), grown);
  EXPECT_TRUE(check_code_right(after));
  // A hand-written list: blanks for tabs, a comment, a raw entry.
  write_text(dir / "hand.txt", "# mine\n\n0x200000 raw  note.txt\n");
  write_text(dir / "note.txt", "a note");
  r = romput(dir, {"game.z64", "--list", "hand.txt", "copy.z64"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(holds(r.out, "note.txt: 6 bytes (as they are) at 0x00200000-0x00200006\n")) << r.out;
  write_text(dir / "bad.txt", "0x1000 Yaz9 x.bin\n");
  r = romput(dir, {"game.z64", "--list", "bad.txt"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(holds(r.err, "bad.txt: line 1: 'Yaz9' is not a format")) << r.err;
}
