#include <gtest/gtest.h>

#include "tga_fixture.hpp"

using namespace testsupport;
using greyconv::Verdict;
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
    EXPECT_EQ(greyconv::position(c.file), c.start) << c.what;
  }
}

TEST(CheckTga, FooterNeedsTheWholeSignature) {
  Bytes file = Tga().data(zeros(128)).bytes();
  EXPECT_TRUE(greyconv::has_footer(file));
  for (std::size_t back : {1u, 2u, 18u}) {  // the NUL, the '.', the 'T'
    Bytes spoilt = file;
    spoilt[spoilt.size() - back] ^= 0x01;
    EXPECT_FALSE(greyconv::has_footer(spoilt)) << back;
    EXPECT_EQ(greytest::check(spoilt).check.size, 128 + 26) << back;
  }
  EXPECT_FALSE(greyconv::has_footer(Bytes(file.end() - 25, file.end())));
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

}  // namespace
