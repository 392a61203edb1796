// End-to-end runs of the built program with piped answers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/testsupport.hpp"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

const std::string kInputPrompt = "\nN64 ROM? ";
const std::string kOutputPrompt = "\nextended filename? ";
const std::string kAsk16 =
    "\a\nThe bugger is 16bit byteswapped.\nShould I straighten it out? (Y/N)\t";
const std::string kAsk32 =
    "\a\nThe bugger is 32bit byteswapped.\nShould I straighten it out? (Y/N)\t";
const std::string kCopying = "\n\tCopying file...    ";
const std::string kExtend0 = "\a\nShould I extend the rom from 0Mb to 0Mb? (Y/N)\t";
const std::string kExtending = "\nExtending file...    ";

std::string done(const std::string& output) {
  return "\a\nAll done.  The extended rom is at:\n\t" + output + "\nPress -Enter- to quit.";
}

RunResult romext(const TempDir& dir, const std::vector<std::string>& args,
                 const std::string& input) {
  return run(program("romext"), args, input, dir.path());
}

// A small image: the given first word, then bytes that show any mix-up of positions.
Bytes image_with_head(const std::string& head) {
  Bytes image = hex(head);
  for (int i = 0; i < 12; ++i) image.push_back(static_cast<std::uint8_t>(0x10 + i));
  return image;
}

// Makes a file of `size` bytes that starts with `head` and is otherwise empty (sparse where the
// file system allows). False when the file system refuses.
bool make_large_file(const fs::path& p, const Bytes& head, std::uintmax_t size) {
  write_bytes(p, head);
  std::error_code ec;
  fs::resize_file(p, size, ec);
  return !ec;
}

}  // namespace

TEST(RomextRun, ThreeOrdersWithYesAndNo) {
  const Bytes native = image_with_head("80 37 12 40");
  const Bytes body = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B};
  Bytes swapped16 = hex("37 80 40 12");
  Bytes swapped32 = hex("40 12 37 80");
  for (std::size_t i = 0; i < body.size(); i += 4) {
    const Bytes g(body.begin() + static_cast<std::ptrdiff_t>(i),
                  body.begin() + static_cast<std::ptrdiff_t>(i + 4));
    swapped16.insert(swapped16.end(), {g[1], g[0], g[3], g[2]});
    swapped32.insert(swapped32.end(), {g[3], g[2], g[1], g[0]});
  }
  const Bytes unknown = image_with_head("00 00 00 01");
  struct Case {
    const char* what;
    Bytes image;
    std::string answers;
    std::string question;
    Bytes expected;
  };
  const Case cases[] = {
      {"native", native, "n\n\n", "", native},
      {"16 yes", swapped16, "y\nn\n\n", kAsk16, native},
      {"16 no", swapped16, "n\nn\n\n", kAsk16, swapped16},
      {"32 yes", swapped32, "Y\nn\n\n", kAsk32, native},
      {"32 no", swapped32, "N\nn\n\n", kAsk32, swapped32},
      // Only the first character of an answer line counts.
      {"32 yes, more typed", swapped32, "yes please\nno\n\n", kAsk32, native},
      {"16 empty line", swapped16, "\nn\n\n", kAsk16, swapped16},
      {"unknown", unknown, "n\n\n", "", unknown},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_bytes(dir / "game.v64", c.image);
    const RunResult r = romext(dir, {"game.v64"}, c.answers);
    EXPECT_EQ(r.exit_code, 0) << c.what;
    // The expected text reads best as a sum; a test's temporaries cost nothing that matters.
    // NOLINTNEXTLINE(performance-inefficient-string-concatenation)
    EXPECT_EQ(r.out, c.question + kCopying + kExtend0 + done("game-ext.n64")) << c.what;
    EXPECT_EQ(r.err, "") << c.what;
    EXPECT_EQ(to_hex(read_bytes(dir / "game-ext.n64")), to_hex(c.expected)) << c.what;
    EXPECT_EQ(read_bytes(dir / "game.v64"), c.image) << c.what;
  }
}

TEST(RomextRun, ExtensionDoublesWithZerosAndPadsOddLengths) {
  struct Case {
    const char* what;
    Bytes image;
    std::string answers;
    Bytes expected;
  };
  const Case cases[] = {
      {"empty", {}, "y\n\n", {}},
      {"3 bytes, no order", hex("37 80 40"), "n\n\n", hex("37 80 40 00")},
      {"3 bytes, extended", hex("37 80 40"), "y\n\n", hex("37 80 40 00 00 00 00 00")},
      {"6 bytes straightened", hex("37 80 40 12 AB CD"), "y\ny\n\n",
       hex("80 37 12 40 CD AB 00 00 00 00 00 00 00 00 00 00")},
      {"7 bytes reversed", hex("40 12 37 80 01 02 03"), "y\nn\n\n", hex("80 37 12 40 00 03 02 01")},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_bytes(dir / "tiny.z64", c.image);
    const RunResult r = romext(dir, {"tiny.z64"}, c.answers);
    EXPECT_EQ(r.exit_code, 0) << c.what;
    EXPECT_EQ(to_hex(read_bytes(dir / "tiny-ext.n64")), to_hex(c.expected)) << c.what;
  }
}

TEST(RomextRun, EightMegabyteImageDoublesWithZeroSecondHalf) {
  TempDir dir;
  Bytes image(8u << 20);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 1);
  const Bytes head = hex("37 80 40 12");
  std::copy(head.begin(), head.end(), image.begin());
  write_bytes(dir / "big.v64", image);
  const RunResult r = romext(dir, {"big.v64"}, "y\ny\n\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, kAsk16 + kCopying + "\a\nShould I extend the rom from 64Mb to 128Mb? (Y/N)\t" +
                       kExtending + done("big-ext.n64"));
  const Bytes out = read_bytes(dir / "big-ext.n64");
  ASSERT_EQ(out.size(), image.size() * 2);
  for (std::size_t i = 0; i < image.size(); i += 2) {
    ASSERT_EQ(out[i], image[i + 1]) << i;
    ASSERT_EQ(out[i + 1], image[i]) << i;
  }
  EXPECT_TRUE(std::all_of(out.begin() + static_cast<std::ptrdiff_t>(image.size()), out.end(),
                          [](std::uint8_t b) { return b == 0; }));
}

TEST(RomextRun, LargeImageGetsTheMaximumSizeWording) {
  TempDir dir;
  if (!make_large_file(dir / "huge.n64", hex("80 37 12 40"), 40u << 20)) GTEST_SKIP();
  const RunResult r = romext(dir, {"huge.n64"}, "n\n\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, kCopying +
                       "\a\n512Mb is the normal maximum rom size.\nDo you want to kick it up from "
                       "320Mb to 640Mb? (Y/N)\t" +
                       done("huge-ext.n64"));
  EXPECT_EQ(fs::file_size(dir / "huge-ext.n64"), 40u << 20);
}

TEST(RomextRun, ImageOfFourGigabytesIsRefusedAndNothingWritten) {
  TempDir dir;
  if (!make_large_file(dir / "over.n64", hex("80 37 12 40"), std::uintmax_t{1} << 32)) GTEST_SKIP();
  write_text(dir / "over-ext.n64", "keep me");
  const RunResult r = romext(dir, {"over.n64"}, "y\ny\n\n");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(
      r.err,
      "\nromext: over.n64: the image is 4294967296 bytes long; only images smaller than 4 GiB "
      "can be handled\n");
  EXPECT_EQ(string_of(read_bytes(dir / "over-ext.n64")), "keep me");
  EXPECT_EQ(fs::file_size(dir / "over.n64"), std::uintmax_t{1} << 32);
}

TEST(RomextRun, OutputNames) {
  struct Case {
    std::vector<std::string> args;
    const char* input;
    const char* output;
  };
  const Case cases[] = {
      {{"image.bin"}, "image.bin", "image-ext.n64"},
      {{"game.rom.bin"}, "game.rom.bin", "game-ext.n64"},
      {{"noext"}, "noext", "noext-ext.n64"},
      {{"first.bin", "-x", "last.v64"}, "last.v64", "last-ext.n64"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_bytes(dir / c.input, hex("80 37 12 40"));
    const RunResult r = romext(dir, c.args, "n\n\n");
    EXPECT_EQ(r.exit_code, 0) << c.input;
    EXPECT_EQ(r.out, kCopying + kExtend0 + done(c.output)) << c.input;
    EXPECT_TRUE(fs::exists(dir / c.output)) << c.output;
  }
}

TEST(RomextRun, AsksForTheInputUntilItOpens) {
  TempDir dir;
  write_bytes(dir / "rom.z64", hex("40 12 37 80"));
  fs::create_directory(dir / "folder.z64");
  const RunResult r = romext(dir, {}, "missing.z64\nfolder.z64\n\nrom.z64\ny\nn\n\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, kInputPrompt + kInputPrompt + kInputPrompt + kInputPrompt + kAsk32 + kCopying +
                       kExtend0 + done("rom-ext.n64"));
  EXPECT_EQ(to_hex(read_bytes(dir / "rom-ext.n64")), "80 37 12 40");
}

TEST(RomextRun, OutputNamingTheInputIsAskedAgain) {
  TempDir dir;
  const Bytes image = image_with_head("37 80 40 12");
  write_bytes(dir / "game.v64", image);
  fs::create_directory(dir / "game-ext.n64");  // the derived output cannot be opened
  const RunResult r = romext(dir, {"game.v64"}, "game.v64\n./game.v64\nfixed.n64\ny\ny\n\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, kOutputPrompt + kOutputPrompt + kOutputPrompt + kAsk16 + kCopying + kExtend0 +
                       kExtending + done("fixed.n64"));
  EXPECT_NE(r.err.find("game.v64: that is the input image"), std::string::npos) << r.err;
  EXPECT_EQ(read_bytes(dir / "game.v64"), image);
  EXPECT_EQ(read_bytes(dir / "fixed.n64").size(), 32u);
}

TEST(RomextRun, DerivedNameThatIsTheInputIsAskedAgain) {
  TempDir dir;
  const Bytes image = image_with_head("80 37 12 40");
  write_bytes(dir / "rom", image);
  std::error_code ec;
  fs::create_symlink("rom", dir / "rom-ext.n64", ec);
  if (ec) GTEST_SKIP() << "no symbolic links here";
  const RunResult r = romext(dir, {"rom"}, "copy.n64\ny\n\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, kOutputPrompt + kCopying + kExtend0 + kExtending + done("copy.n64"));
  EXPECT_EQ(read_bytes(dir / "rom"), image);
  EXPECT_TRUE(fs::is_symlink(dir / "rom-ext.n64"));
}

TEST(RomextRun, EndOfInput) {
  TempDir dir;
  const Bytes image = image_with_head("37 80 40 12");
  write_bytes(dir / "game.v64", image);
  // At the input prompt: one line on stderr, status 2.
  RunResult r = romext(dir, {"missing.v64"}, "");
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, kInputPrompt);
  EXPECT_EQ(generic_reasons(r.err),
            "\nromext: missing.v64: cannot be opened: REASON\n"
            "\nromext: input ended before a ROM image name was given\n");
  // At the output prompt: the same, and nothing is written.
  fs::create_directory(dir / "game-ext.n64");
  r = romext(dir, {"game.v64"}, "");
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, kOutputPrompt);
  EXPECT_EQ(r.err,
            "\nromext: game-ext.n64: a folder of that name is in the way\n"
            "\nromext: input ended before a name for the output file was given\n");
  EXPECT_TRUE(fs::is_directory(dir / "game-ext.n64"));
  fs::remove(dir / "game-ext.n64");
  // At the questions: each answer reads as no, and the final wait ends at once.
  r = romext(dir, {"game.v64"}, "");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, kAsk16 + kCopying + kExtend0 + done("game-ext.n64"));
  EXPECT_EQ(read_bytes(dir / "game-ext.n64"), image);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 2u);  // no temporary file left behind
}
