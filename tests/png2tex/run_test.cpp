// End-to-end runs of the built png2tex: rounding counted, palettes made and written, damaged
// images refused with nothing written.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/testsupport.hpp"
#include "texcore/png.hpp"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

RunResult png2tex(const TempDir& dir, const std::vector<std::string>& args,
                  const std::string& input = "") {
  return run(program("png2tex"), args, input, dir.path());
}

// A 16 x 2 image: a red ramp in steps of 16 on top, its grey below.
void write_ramp(const fs::path& file) {
  texcore::Image image{16, 2};
  for (unsigned row = 0; row < 2; ++row) {
    for (unsigned x = 0; x < 16; ++x) {
      const auto v = static_cast<std::uint8_t>(x * 16);
      image.pixels.push_back(row == 0 ? texcore::Rgba{v, 0, 0, 255} : texcore::Rgba{v, v, v, 255});
    }
  }
  write_bytes(file, texcore::write_png(image));
}

}  // namespace

TEST(Png2texRun, ColoursTheFormatCannotHoldAreRoundedAndCounted) {
  TempDir dir;
  write_ramp(dir / "ramp.png");
  RunResult r = png2tex(dir, {"--format", "i4", "ramp.png"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "ramp.bin: 16 x 2 i4 texels (16 bytes)\n");
  // An intensity is the nearest to the mean of red, green and blue: 16 x / 3 on top, 16 x below.
  EXPECT_EQ(r.err, "\npng2tex: ramp.png: 30 pixels rounded to the nearest i4 value\n");
  EXPECT_EQ(to_hex(read_bytes(dir / "ramp.bin")),
            "00 11 12 22 33 33 44 45 01 23 45 67 88 9A BC DE");

  // ci4: the 31 colours (as palette entries) do not fit; nothing written.
  r = png2tex(dir, {"--format", "ci4", "--palette-out", "ramp.pal", "ramp.png"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(
      r.err,
      "\npng2tex: ramp.png: the image has 31 colours as rgba16 palette entries; a ci4 palette "
      "holds 16; nothing written\n");
  EXPECT_FALSE(fs::exists(dir / "ramp.pal"));
  r = png2tex(dir, {"--format", "ci8", "--palette-format", "ia16", "--palette-out", "ramp.pal",
                    "ramp.png", "ramp.ci8"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(
      r.out,
      "ramp.ci8: 16 x 2 ci8 texels (32 bytes)\nramp.pal: 31 ia16 palette entries (62 bytes)\n");
  EXPECT_EQ(r.err, "\npng2tex: ramp.png: 15 pixels rounded to the nearest palette colour\n");
  EXPECT_EQ(to_hex(read_bytes(dir / "ramp.pal")).substr(0, 17), "00 FF 05 FF 0B FF");
}

TEST(Png2texRun, DamagedImagesAndBadArgumentsWriteNothing) {
  TempDir dir;
  write_ramp(dir / "ramp.png");
  Bytes damaged = read_bytes(dir / "ramp.png");
  damaged[20] ^= 1;
  write_bytes(dir / "bad.png", damaged);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {{"--format", "ia8", "bad.png"},
       1,
       "\npng2tex: bad.png: its IHDR chunk at offset 0x8 is damaged (its CRC is wrong)\n"},
      {{"--format", "i4", "--palette", "x.pal", "ramp.png"},
       2,
       "\npng2tex: --palette and --palette-out are for ci4 and ci8, not i4; --help shows the "
       "usage\n"},
      {{"ramp.png"}, 2, "\npng2tex: --format is missing; --help shows the usage\n"},
      {{"--format", "ia8", "ramp.png", "a", "b"},
       2,
       "\npng2tex: one image and one output at most ('b' is a third name); --help shows the "
       "usage\n"},
  };
  for (const Case& c : cases) {
    const RunResult r = png2tex(dir, c.args);
    EXPECT_EQ(r.exit_code, c.status) << c.err;
    EXPECT_EQ(r.err, c.err);
  }
  EXPECT_FALSE(fs::exists(dir / "bad.bin"));
  EXPECT_FALSE(fs::exists(dir / "ramp.bin"));
  // The palette output never names the texels' output or an input.
  const RunResult r = png2tex(dir, {"--format", "ci8", "--palette-out", "ramp.png", "ramp.png"},
                              "ramp.bin\nramp.pal\n");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out.find("\npalette file? \npalette file? "), 0u) << r.out;
  EXPECT_TRUE(fs::exists(dir / "ramp.pal"));
}
