#include <gtest/gtest.h>

#include <filesystem>

#include "common/files.hpp"
#include "greyconv/greyconv.hpp"
#include "greycore/tga_fixture.hpp"

using namespace testsupport;
using greytest::Tga;
namespace fs = std::filesystem;

namespace {

const std::string kBanner =
    "Greyscale Converter\n1\tIA 8bit output\n2\tIA 4bit output\n3\tI 4bit (read alpha)\n"
    "4\tI 4bit (read color)\n5\tI 4bit output from 8bit I input\nPress \"spacebar\" to quit.\n";
const std::string kPause = pause_prompt();

fs::path fixture(const std::string& name) {
  // The plain ramp is the demo's (the same bytes as ImageMagick writes).
  if (name == "grey8.tga")
    return fs::path(TOOLKIT_SOURCE_DIR) / "examples" / "greyconv" / "ramp.tga";
  return fs::path(TOOLKIT_SOURCE_DIR) / "tests" / "greyconv" / "fixtures" / name;
}

std::string report16(const char* origin = "bottom left") {
  return std::string("\nGreyscale image\n16 bits per pixel\n8 bits per alpha\nImage starts at ") +
         origin + "!";
}

// The report as the program prints it: it ends its line.
std::string printed16() { return report16() + "\n"; }

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

std::size_t files_in(const fs::path& dir) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(GreyconvRun, ConvertsWithTheChosenKey) {
  TempDir dir;
  write_bytes(dir / "wood.tga", Tga().data(hex("AB CD 12 08")).bytes());
  const auto r = run(program("greyconv"), {"wood.tga"}, "1", dir.path());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, printed16() + kBanner + "\n\nAll done!  Output is in:\nwood.bin\n" + kPause);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(to_hex(read_bytes(dir / "wood.bin")), "AC 00");
}

TEST(GreyconvRun, MenuRepeatsOnOtherKeys) {
  TempDir dir;
  write_bytes(dir / "wood.tga", Tga().data(hex("AB CD 12 08")).bytes());
  const auto r = run(program("greyconv"), {"wood.tga"},
                     "x6\n0\x1b"
                     "3",
                     dir.path());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(count(r.out, kBanner), 6u);
  EXPECT_EQ(to_hex(read_bytes(dir / "wood.bin")), "C0");
}

TEST(GreyconvRun, SpaceOrEndOfInputAtTheMenuWritesNothing) {
  struct Case {
    std::string keys;
    int status;
    bool error_line;
  };
  for (const Case& c :
       {Case{" 1", 0, false}, Case{"x ", 0, false}, Case{"", 2, true}, Case{"xx", 2, true}}) {
    TempDir dir;
    write_bytes(dir / "wood.tga", Tga().data(hex("AB CD 12 08")).bytes());
    const auto r = run(program("greyconv"), {"wood.tga"}, c.keys, dir.path());
    EXPECT_EQ(r.exit_code, c.status) << c.keys;
    EXPECT_EQ(count(r.err, "\n"), c.error_line ? 2u : 0u) << r.err;  // "\ngreyconv: ...\n"
    EXPECT_EQ(files_in(dir.path()), 1u) << c.keys;
    EXPECT_EQ(r.out.find("All done"), std::string::npos);
  }
}

TEST(GreyconvRun, RefusedFilesEndWithStatusOne) {
  struct Case {
    const char* what;
    Bytes file;
    std::string out;
    std::string err;  // part of the error line, empty for none
  };
  const Case cases[] = {
      {"RLE", Tga().type(10).data(hex("AB CD")).bytes(),
       "\nRLE used.  Not going to bother with this.\n", ""},
      {"no image data", Tga().bytes(), printed16(), "tex.tga: no image data"},
      {"too short", hex("00 00 03 00 00"), "", "tex.tga: the file is too short"},
      {"empty", {}, "", "tex.tga: the file is too short"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_bytes(dir / "tex.tga", c.file);
    const auto r = run(program("greyconv"), {"tex.tga"}, "1", dir.path());
    EXPECT_EQ(r.exit_code, 1) << c.what;
    EXPECT_EQ(r.out, c.out) << c.what;
    if (c.err.empty()) {
      EXPECT_EQ(r.err, "") << c.what;
    } else {
      EXPECT_NE(r.err.find(c.err), std::string::npos) << c.what << ": " << r.err;
      EXPECT_EQ(count(r.err, "\n"), 2u) << r.err;
    }
    EXPECT_EQ(files_in(dir.path()), 1u) << c.what;
  }
}

TEST(GreyconvRun, AsksForTheInputUntilOneOpens) {
  TempDir dir;
  write_bytes(dir / "wood.tga", Tga().data(hex("AB CD 12 08")).bytes());
  fs::create_directory(dir / "folder.tga");
  auto r = run(program("greyconv"), {}, "missing.tga\nfolder.tga\nwood.tga\n4", dir.path());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out.rfind(
                "\nconvert what file? \nconvert what file? \nconvert what file? " + report16(), 0),
            0u)
      << r.out;
  EXPECT_EQ(to_hex(read_bytes(dir / "wood.bin")), "A1");

  r = run(program("greyconv"), {"missing.tga"}, "", dir.path());
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "\nconvert what file? ");
  EXPECT_NE(r.err.find("file name"), std::string::npos) << r.err;
}

TEST(GreyconvRun, NeverWritesOverItsInput) {
  TempDir dir;
  const Bytes input = Tga().data(hex("AB CD 12 08")).bytes();
  write_bytes(dir / "tex.bin", input);
  // The derived name and a typed name both name the input; the third name is used as typed.
  auto r = run(program("greyconv"), {"tex.bin"}, "1\n./tex.bin\nout.raw\n", dir.path());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(count(r.out, "\nput it where? "), 2u) << r.out;
  EXPECT_EQ(read_bytes(dir / "tex.bin"), input);
  EXPECT_EQ(to_hex(read_bytes(dir / "out.raw")), "AC 00");
  EXPECT_EQ(files_in(dir.path()), 2u);

  r = run(program("greyconv"), {"tex.bin"}, "1\n", dir.path());
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(read_bytes(dir / "tex.bin"), input);
}

TEST(GreyconvRun, LongNames) {
  TempDir dir;
  // Longer than any fixed name buffer of old, and within what Windows paths allow.
  const std::string folder(40, 'd');
  const std::string stem(140, 'n');
  fs::create_directory(dir / folder);
  write_bytes(dir / folder / (stem + ".tga"), Tga().data(hex("07 08 F7 FF")).bytes());
  const auto r = run(program("greyconv"), {}, folder + "/" + stem + ".tga\n5", dir.path());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(to_hex(read_bytes(dir / folder / (stem + ".bin"))), "01 FF");
}

TEST(MenuScreen, ShowsTheReportAgainOnATerminalOnly) {
  const std::string report = report16();
  const std::string warning = "wood.tga: warning: the header says 2 x 2 pixels";
  struct Case {
    std::string warning;
    bool terminal;
    std::string screen;
  };
  const Case cases[] = {
      {warning, false, kBanner},  // from a pipe or a file: the banner alone, as always
      {warning, true, report + "\n\n" + warning + "\n\n" + kBanner},
      {"", true, report + "\n\n" + kBanner},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(greyconv::menu_screen(report, c.warning, c.terminal), c.screen)
        << c.terminal << " " << c.warning;
  }
}

TEST(GreyconvRun, WarnsWhenTheDataAndTheHeaderDisagree) {
  struct Case {
    const char* what;
    Tga tga;
    std::string err;
    const char* out;
  };
  const Tga four = Tga().data(hex("AB CD 12 08"));
  const Case cases[] = {
      {"longer", Tga(four).pixels(1, 1),
       "\nwood.tga: warning: the header says 1 x 1 pixels of 16 bits (2 bytes), but 4 bytes of "
       "image data follow it before the footer; all 4 are converted\n",
       "AC 00"},
      {"shorter", Tga(four).pixels(3, 1).no_footer(),
       "\nwood.tga: warning: the header says 3 x 1 pixels of 16 bits (6 bytes), but only 4 bytes "
       "of image data follow it; only those 4 are converted\n",
       "AC 00"},
      // The extension area is not converted as pixels.
      {"extension area", Tga(four).trailer(hex("55 55 55 55")).offsets(22, 0), "", "AC 00"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_bytes(dir / "wood.tga", c.tga.bytes());
    const auto r = run(program("greyconv"), {"wood.tga"}, "1", dir.path());
    EXPECT_EQ(r.exit_code, 0) << c.what << r.err;
    // Standard output from a pipe is what it always was.
    std::string expected = printed16();
    expected += kBanner;
    expected += "\n\nAll done!  Output is in:\nwood.bin\n";
    expected += kPause;
    EXPECT_EQ(r.out, expected) << c.what;
    EXPECT_EQ(r.err, c.err) << c.what;
    EXPECT_EQ(to_hex(read_bytes(dir / "wood.bin")), c.out) << c.what;
  }
}

// Files written by ImageMagick 6: 8-bit greyscale without a footer, with either origin and with an
// ID field; RLE and grey-with-alpha (which it writes as 32-bit true colour) are refused.
TEST(GreyconvRun, ImageMagickFiles) {
  const std::string ramp = "01 12 23 34 45 56 67 78 89 9A AB BC CD DE EF FF";
  struct Case {
    const char* name;
    int status;
    const char* first_line;
    const char* out;
  };
  const Case cases[] = {
      {"grey8.tga", 0,
       "\nGreyscale image\n8 bits per pixel\n0 bits per alpha\nImage starts at bottom left!",
       ramp.c_str()},
      {"grey8-top.tga", 0,
       "\nGreyscale image\n8 bits per pixel\n0 bits per alpha\nImage starts at top left!",
       ramp.c_str()},
      {"grey8-id.tga", 0,
       "\nGreyscale image\n8 bits per pixel\n0 bits per alpha\nImage starts at bottom left!",
       ramp.c_str()},
      {"grey8-rle.tga", 1, "\nRLE used.  Not going to bother with this.", nullptr},
      {"grey-alpha.tga", 1, "\nTruecolor image (rgba)-not yet", nullptr},
  };
  for (const auto& c : cases) {
    TempDir dir;
    fs::copy_file(fixture(c.name), dir / c.name);
    const auto r = run(program("greyconv"), {c.name}, "5", dir.path());
    EXPECT_EQ(r.exit_code, c.status) << c.name << r.err;
    EXPECT_EQ(r.err, "") << c.name;  // their headers and data agree
    EXPECT_EQ(r.out.rfind(c.first_line, 0), 0u) << c.name << ": " << r.out;
    const auto bin = dir / files::derive_output_name(c.name, ".bin");
    if (c.out) {
      EXPECT_EQ(to_hex(read_bytes(bin)), c.out) << c.name;
    } else {
      EXPECT_FALSE(fs::exists(bin)) << c.name;
    }
  }
}

}  // namespace
