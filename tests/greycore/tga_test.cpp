#include <gtest/gtest.h>

#include "tga_fixture.hpp"

using namespace testsupport;
using greycore::Verdict;
using greytest::Tga;

namespace {

Bytes zeros(std::size_t n) { return Bytes(n, 0); }

TEST(CheckTga, RefusalsAndReports) {
  struct Case {
    const char* what;
    Bytes file;
    const char* report;
    Verdict verdict;
  };
  const Bytes indexed = Tga().type(3).colour_map(1, 0x0100, 24).data(zeros(16)).bytes();
  const Case cases[] = {
      {"indexed, whatever the type", indexed,
       "\nImage is indexed.  256 palette entries - 24 bit samples"
       "\nWell, not using those at the moment.  Sorry!",
       Verdict::refused},
      {"type 0", Tga().type(0).data(zeros(16)).bytes(),
       "\nNo image data present.  No point to this...", Verdict::refused},
      {"type 9", Tga().type(9).data(zeros(16)).bytes(),
       "\nRLE used.  Not going to bother with this.", Verdict::refused},
      {"type 10", Tga().type(10).data(zeros(16)).bytes(),
       "\nRLE used.  Not going to bother with this.", Verdict::refused},
      {"type 11", Tga().type(11).data(zeros(16)).bytes(),
       "\nRLE used.  Not going to bother with this.", Verdict::refused},
      {"type 1", Tga().type(1).data(zeros(16)).bytes(), "\nColormapped image-not yet",
       Verdict::refused},
      {"type 33", Tga().type(33).data(zeros(16)).bytes(), "\nColormapped image-not yet",
       Verdict::refused},
      {"type 2", Tga().type(2).data(zeros(16)).bytes(), "\nTruecolor image (rgba)-not yet",
       Verdict::refused},
      {"greyscale, top left", Tga().type(3).depth(16).descriptor(0x28).data(zeros(16)).bytes(),
       "\nGreyscale image\n16 bits per pixel\n8 bits per alpha\nImage starts at top left!",
       Verdict::accepted},
      {"greyscale, bottom right", Tga().type(3).depth(8).descriptor(0x10).data(zeros(16)).bytes(),
       "\nGreyscale image\n8 bits per pixel\n0 bits per alpha\nImage starts at bottom right!",
       Verdict::accepted},
      {"type 32 passes without a type line",
       Tga().type(32).depth(8).descriptor(0).data(zeros(16)).bytes(),
       "\n8 bits per pixel\n0 bits per alpha\nImage starts at bottom left!", Verdict::accepted},
      // A file shorter than the header has no fields to report.
      {"empty file", {}, "", Verdict::too_short},
      {"cut inside the header", hex("00 01 03"), "", Verdict::too_short},
      {"a byte short of the header", Bytes(17, 0x00), "", Verdict::too_short},
      {"header and footer only", Tga().type(3).depth(8).descriptor(0).bytes(),
       "\nGreyscale image\n8 bits per pixel\n0 bits per alpha\nImage starts at bottom left!",
       Verdict::empty},
      {"header only", Tga().type(3).depth(8).descriptor(0).no_footer().bytes(),
       "\nGreyscale image\n8 bits per pixel\n0 bits per alpha\nImage starts at bottom left!",
       Verdict::empty},
  };
  for (const auto& c : cases) {
    const auto got = greytest::check(c.file);
    EXPECT_EQ(got.report, c.report) << c.what;
    EXPECT_EQ(got.check.verdict, c.verdict) << c.what;
    if (c.verdict == Verdict::accepted) {
      EXPECT_GT(got.check.size, 0) << c.what;
    }
  }
}

TEST(CheckTga, DataSizeWithAndWithoutFooterAndIdField) {
  struct Case {
    const char* what;
    Bytes file;
    std::int64_t size;
    std::int64_t start;
    bool footer;
  };
  const Bytes data = zeros(128);  // 8 by 8, 16 bits per pixel
  const Case cases[] = {
      {"footer, no ID (172 bytes)", Tga().data(data).bytes(), 128, 18, true},
      {"footer, ID of 5 (177 bytes)", Tga().id(zeros(5)).data(data).bytes(), 128, 23, true},
      // Without a footer the data runs to the end of the file: nothing of the image is dropped.
      {"no footer, no ID (146 bytes)", Tga().data(data).no_footer().bytes(), 128, 18, false},
      {"no footer, ID of 5", Tga().id(zeros(5)).data(data).no_footer().bytes(), 128, 23, false},
      {"odd data, footer", Tga().data(zeros(3)).bytes(), 3, 18, true},
  };
  for (const auto& c : cases) {
    const auto got = greytest::check(c.file);
    EXPECT_EQ(got.check.verdict, Verdict::accepted) << c.what;
    EXPECT_EQ(got.check.size, c.size) << c.what;
    EXPECT_EQ(got.check.footer, c.footer) << c.what;
    EXPECT_EQ(greycore::position(c.file), c.start) << c.what;
  }
}

TEST(CheckTga, FooterNeedsTheWholeSignature) {
  Bytes file = Tga().data(zeros(128)).bytes();
  EXPECT_TRUE(greycore::has_footer(file));
  for (std::size_t back : {1u, 2u, 18u}) {  // the NUL, the '.', the 'T'
    Bytes spoilt = file;
    spoilt[spoilt.size() - back] ^= 0x01;
    EXPECT_FALSE(greycore::has_footer(spoilt)) << back;
    EXPECT_EQ(greytest::check(spoilt).check.size, 128 + 26) << back;
  }
  EXPECT_FALSE(greycore::has_footer(Bytes(file.end() - 25, file.end())));
}

TEST(CheckTga, ShortFilesAreTooShortNeverNegativeSizes) {
  // A footer right after a cut header, and an ID field longer than the file.
  Bytes footer_only = Tga().data({}).bytes();
  footer_only.erase(footer_only.begin() + 4, footer_only.begin() + 18);
  Bytes long_id = Tga().data(zeros(8)).no_footer().bytes();
  long_id[0] = 200;
  for (const Bytes& file : {footer_only, long_id}) {
    EXPECT_EQ(greytest::check(file).check.verdict, Verdict::too_short) << to_hex(file);
  }
}

TEST(CheckTga, DataEndsAtTheEarliestAreaTheFooterPointsInto) {
  using greycore::DataEnd;
  // 16 data bytes from offset 18, then 20 bytes of areas up to the footer at 54.
  const Tga tga = Tga().data(zeros(16)).trailer(Bytes(20, 0xEE));
  struct Case {
    std::uint32_t extension, developer;
    std::int64_t size;
    DataEnd end;
    std::uint32_t stray_extension, stray_developer;
  };
  const Case cases[] = {
      {0, 0, 36, DataEnd::footer, 0, 0},
      {34, 0, 16, DataEnd::extension, 0, 0},
      {0, 34, 16, DataEnd::developer, 0, 0},
      {44, 34, 16, DataEnd::developer, 0, 0},  // the earlier of the two
      // At the start of the data, in the header, at the footer or past the end: ignored.
      {18, 0, 36, DataEnd::footer, 18, 0},
      {5, 54, 36, DataEnd::footer, 5, 54},
      {0x80000000u, 40, 22, DataEnd::developer, 0x80000000u, 0},
  };
  for (const auto& c : cases) {
    const auto got = greytest::check(Tga(tga).offsets(c.extension, c.developer).bytes()).check;
    const std::string what = std::to_string(c.extension) + ", " + std::to_string(c.developer);
    EXPECT_EQ(got.verdict, Verdict::accepted) << what;
    EXPECT_EQ(got.size, c.size) << what;
    EXPECT_EQ(got.end, c.end) << what;
    EXPECT_EQ(got.stray_extension, c.stray_extension) << what;
    EXPECT_EQ(got.stray_developer, c.stray_developer) << what;
  }
  // Offsets count only in a footer; without one the data runs to the end of the file.
  Bytes spoilt = Tga(tga).offsets(34, 0).bytes();
  spoilt.back() = '!';
  EXPECT_EQ(greytest::check(spoilt).check.size, 36 + 26);
}

TEST(CheckTga, SizeWarnings) {
  const std::string says = "wood.tga: warning: the header says ";
  struct Case {
    Tga tga;
    std::string warning;  // after `says`; empty for none
  };
  const Case cases[] = {
      {Tga().data(zeros(8)).pixels(2, 2), ""},
      {Tga().data(zeros(4)).pixels(2, 1).depth(15), ""},        // a 15-bit pixel takes two bytes
      {Tga().data(zeros(8)).pixels(2, 2).offsets(200, 1), ""},  // strays, but the sizes agree
      {Tga().data(zeros(10)).pixels(2, 2),
       "2 x 2 pixels of 16 bits (8 bytes), but 10 bytes of image data follow it before the "
       "footer; all 10 are converted"},
      {Tga().data(zeros(10)).pixels(4, 4).no_footer(),
       "4 x 4 pixels of 16 bits (32 bytes), but only 10 bytes of image data follow it; only those "
       "10 are converted"},
      {Tga().data(zeros(6)).pixels(2, 2).trailer(zeros(8)).offsets(24, 0),
       "2 x 2 pixels of 16 bits (8 bytes), but only 6 bytes of image data follow it before the "
       "extension area; only those 6 are converted"},
      {Tga().data(zeros(10)).pixels(2, 2).offsets(9000, 0),
       "2 x 2 pixels of 16 bits (8 bytes), but 10 bytes of image data follow it before the "
       "footer; all 10 are converted; the footer's extension area offset 9000 points outside the "
       "image data and is ignored"},
      {Tga().data(zeros(10)).pixels(2, 2).offsets(18, 3),
       "2 x 2 pixels of 16 bits (8 bytes), but 10 bytes of image data follow it before the "
       "footer; all 10 are converted; the footer's extension area offset 18 and developer "
       "directory offset 3 point outside the image data and are ignored"},
      {Tga().data(zeros(1)).pixels(0, 7).no_footer(),
       "0 x 7 pixels of 16 bits (no image data), but 1 byte of image data follows it; all 1 are "
       "converted"},
      {Tga().data(zeros(10)).pixels(2, 2).depth(0).no_footer(),
       "2 x 2 pixels of 0 bits (no image data), but 10 bytes of image data follow it; all 10 are "
       "converted"},
  };
  for (const auto& c : cases) {
    const Bytes file = c.tga.bytes();
    EXPECT_EQ(greycore::size_warning("wood.tga", greytest::check(file).check),
              c.warning.empty() ? "" : says + c.warning)
        << to_hex(file);
  }
  // Refused and empty images get their own lines, never this one.
  for (const Tga& tga : {Tga().type(2).data(zeros(10)), Tga().pixels(2, 2)}) {
    EXPECT_EQ(greycore::size_warning("wood.tga", greytest::check(tga.bytes()).check), "");
  }
}

}  // namespace
