// End-to-end runs of the built tex2png: every format there and back through png2tex, the TGA
// images through greyconv, lists, and what is refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "support/testsupport.hpp"
#include "tests/texcore/png_oracle.hpp"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

using pngtest::random_bytes;

RunResult tex2png(const TempDir& dir, const std::vector<std::string>& args,
                  const std::string& input = "") {
  return run(program("tex2png"), args, input, dir.path());
}

RunResult png2tex(const TempDir& dir, const std::vector<std::string>& args,
                  const std::string& input = "") {
  return run(program("png2tex"), args, input, dir.path());
}

Bytes slice(const Bytes& b, std::size_t from, std::size_t n) {
  return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
               b.begin() + static_cast<std::ptrdiff_t>(from + n));
}

}  // namespace

TEST(Tex2pngRun, EveryFormatThereAndBackThroughPng2tex) {
  TempDir dir;
  const Bytes rom = random_bytes(6000, 1);
  write_bytes(dir / "rom.z64", rom);
  const char* formats[] = {"i4", "i8", "ia4", "ia8", "ia16", "rgba16", "rgba32", "ci4", "ci8"};
  for (const std::string f : formats) {
    for (const bool swap : {false, true}) {
      // The palette lies in the input itself; without --height the texture runs to the end.
      std::vector<std::string> common = {"--format", f};
      if (f[0] == 'c') common.insert(common.end(), {"--palette", "rom.z64@0x10"});
      if (swap) common.push_back("--swap-rows");
      std::vector<std::string> there = common;
      there.insert(there.end(), {"--width=16", "--offset", "0x400", "rom.z64", f + ".png"});
      const RunResult r = tex2png(dir, there);
      ASSERT_EQ(r.exit_code, 0) << f << ": " << r.err;
      EXPECT_EQ(r.err, "");
      std::vector<std::string> back = common;
      back.insert(back.end(), {f + ".png"});
      const RunResult b = png2tex(dir, back);
      ASSERT_EQ(b.exit_code, 0) << f << ": " << b.err;
      EXPECT_EQ(b.err, "") << f;
      const Bytes texels = read_bytes(dir / (f + ".bin"));
      const std::size_t row = 16 *
                              (f == "i4" || f == "ia4" || f == "ci4" ? 1
                               : f == "rgba32"                       ? 8
                               : f == "ia16" || f == "rgba16"        ? 4
                                                                     : 2) /
                              2;
      EXPECT_EQ(texels.size(), (6000 - 0x400) / row * row) << f;
      EXPECT_EQ(texels, slice(rom, 0x400, texels.size())) << f << (swap ? " swapped" : "");
      fs::remove(dir / (f + ".png"));
      fs::remove(dir / (f + ".bin"));
    }
  }
}

TEST(Tex2pngRun, TgaImagesGoBackThroughGreyconv) {
  TempDir dir;
  Bytes all(256);
  for (unsigned v = 0; v < 256; ++v) all[v] = static_cast<std::uint8_t>(v);
  write_bytes(dir / "all.raw", all);
  struct Case {
    const char* format;
    const char* key;
  };
  for (const Case& c : {Case{"i4", "4"}, Case{"ia8", "1"}, Case{"ia4", "2"}}) {
    const std::string tga = std::string(c.format) + ".tga";
    const RunResult r =
        tex2png(dir, {"--tga", "--format", c.format, "--width", "16", "all.raw", tga});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const RunResult g = run(program("greyconv"), {tga}, c.key, dir.path());
    ASSERT_EQ(g.exit_code, 0) << g.err;
    // Texels that are transparent but keep an intensity come back as 0.
    Bytes expected = all;
    for (auto& v : expected) {
      if (c.format == std::string("ia8") && (v & 0x0F) == 0) v = 0;
      if (c.format == std::string("ia4")) {
        v = static_cast<std::uint8_t>(((v & 0x10) ? v & 0xF0 : 0) | ((v & 0x01) ? v & 0x0F : 0));
      }
    }
    EXPECT_EQ(to_hex(read_bytes(dir / (std::string(c.format) + ".bin"))), to_hex(expected))
        << c.format;
  }
}

TEST(Tex2pngRun, ListsMakeEveryRowThatCanBeMade) {
  TempDir dir;
  const Bytes rom = random_bytes(4096, 2);
  write_bytes(dir / "rom.bin", rom);
  write_text(dir / "list.txt",
             "# offset\tformat\twidth\theight\tname\r\n"
             "0x100\tia8\t16\t4\ta.png\r\n"
             "\n"
             "0\trgba16\t8\t-\tb.png\n"
             "0x2000\ti4\t16\t\tc.png\n"
             "0x10\tia9\t16\t4\td.png\n");
  const RunResult r = tex2png(dir, {"--list", "list.txt", "rom.bin"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out,
            "a.png: 16 x 4 ia8 texels from offset 0x100 (64 bytes)\n"
            "b.png: 8 x 256 rgba16 texels from offset 0x0 (4096 bytes)\n");
  EXPECT_EQ(r.err,
            "\ntex2png: list.txt:5: offset 0x2000 is past the end of the file (4096 bytes)\n"
            "\ntex2png: list.txt:6: 'ia9' is not one of i4, i8, ia4, ia8, ia16, rgba16, rgba32, "
            "ci4, ci8\n");
  EXPECT_FALSE(fs::exists(dir / "c.png"));
  ASSERT_EQ(png2tex(dir, {"--format", "ia8", "a.png"}).exit_code, 0);
  EXPECT_EQ(read_bytes(dir / "a.bin"), slice(rom, 0x100, 64));
}

TEST(Tex2pngRun, RefusalsSayWhyAndWriteNothing) {
  TempDir dir;
  Bytes data = random_bytes(100, 3);
  data[0] = 200;
  write_bytes(dir / "tex.bin", data);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {{"--width", "8", "tex.bin"}, 2, "\ntex2png: --format is missing; --help shows the usage\n"},
      {{"--format", "ci4", "--width", "8", "tex.bin"},
       2,
       "\ntex2png: ci4 texels need --palette FILE[@OFFSET]; --help shows the usage\n"},
      {{"--format", "i8", "--width", "0", "tex.bin"},
       2,
       "\ntex2png: --width 0: not a width of 1 or more texels; --help shows the usage\n"},
      {{"--format", "i8", "--width", "8", "--height", "20", "tex.bin"},
       1,
       "\ntex2png: tex.bin: 8 x 20 i8 texels need 160 bytes from offset 0x0, but only 100 follow "
       "it\n"},
      {{"--format", "i4", "--width", "3", "--height", "3", "tex.bin"},
       1,
       "\ntex2png: tex.bin: 3 x 3 i4 texels end in half a byte (4-bit textures need an even number "
       "of texels)\n"},
      {{"--format", "ci8", "--width", "8", "--palette", "tex.bin@0x50", "tex.bin"},
       1,
       "\ntex2png: tex.bin: texel 0 uses palette entry 200, but the palette has only 10\n"},
      {{"--format", "i8", "--width", "8", "--palette", "none.pal", "tex.bin"},
       1,
       "\ntex2png: none.pal: cannot be opened: REASON\n"},
  };
  for (const Case& c : cases) {
    const RunResult r = tex2png(dir, c.args);
    EXPECT_EQ(r.exit_code, c.status) << c.err;
    EXPECT_EQ(generic_reasons(r.err), c.err);
    EXPECT_FALSE(fs::exists(dir / "tex.png")) << c.err;
  }
}

TEST(Tex2pngRun, AnExistingOutputIsReplacedOnlyWhenSaidSo) {
  TempDir dir;
  write_bytes(dir / "tex.v2.bin", random_bytes(64, 4));
  write_text(dir / "tex.png", "mine");
  const std::vector<std::string> args = {"--format", "ia8", "--width", "8", "tex.v2.bin"};
  RunResult r = tex2png(dir, args, "n\nother.png\n");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "\"tex.png\" exists; replace it? (Y/N) \nimage file? "
            "other.png: 8 x 8 ia8 texels from offset 0x0 (64 bytes)\n");
  EXPECT_EQ(string_of(read_bytes(dir / "tex.png")), "mine");
  r = tex2png(dir, args, "y\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(string_of(read_bytes(dir / "tex.png")), "mine");
  r = tex2png(dir, args, "");  // no answer is no, and then no name
  EXPECT_EQ(r.exit_code, 2);
}
