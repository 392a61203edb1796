// The PNG layer: the smallest layout that holds the pixels, every colour type and bit depth read
// (interlaced or not, every filter), and damaged or oversized files refused.
#include <gtest/gtest.h>

#include <random>

#include "support/testsupport.hpp"
#include "tests/texcore/png_oracle.hpp"
#include "texcore/deflate.hpp"
#include "texcore/png.hpp"

using namespace texcore;

TEST(PngLayout, TheFewestBitsThatHoldEveryPixel) {
  struct Case {
    const char* what;
    std::vector<Rgba> pixels;
    ColourType type;
    unsigned depth;
  };
  const auto grey_levels = [](unsigned step) {
    std::vector<Rgba> levels;
    for (unsigned v = 0; v < 256; v += step) {
      levels.push_back({static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v),
                        static_cast<std::uint8_t>(v), 255});
    }
    return levels;
  };
  std::vector<Rgba> many_grey, many_colours, many_with_alpha;
  for (unsigned v = 0; v < 300; ++v) {
    const auto b = static_cast<std::uint8_t>(v);
    many_grey.push_back({b, b, b, static_cast<std::uint8_t>(v / 2)});
    many_colours.push_back({b, static_cast<std::uint8_t>(v >> 8), 7, 255});
    many_with_alpha.push_back({b, static_cast<std::uint8_t>(v >> 8), 7, 3});
  }
  const Case cases[] = {
      {"black and white", {{0, 0, 0, 255}, {255, 255, 255, 255}}, ColourType::grey, 1},
      {"2-bit levels", grey_levels(85), ColourType::grey, 2},
      {"4-bit levels", grey_levels(17), ColourType::grey, 4},
      {"8-bit levels", grey_levels(1), ColourType::grey, 8},
      {"grey with alpha, few", {{17, 17, 17, 17}, {0, 0, 0, 0}}, ColourType::palette, 1},
      {"3 colours", {{1, 2, 3, 255}, {1, 2, 4, 255}, {0, 0, 0, 0}}, ColourType::palette, 2},
      {"grey with alpha, many", many_grey, ColourType::grey_alpha, 8},
      {"opaque colours", many_colours, ColourType::rgb, 8},
      {"colours with alpha", many_with_alpha, ColourType::rgba, 8},
  };
  for (const Case& c : cases) {
    const Image image{static_cast<unsigned>(c.pixels.size()), 1, c.pixels};
    const PngLayout layout = choose_layout(image);
    EXPECT_EQ(layout.type, c.type) << c.what;
    EXPECT_EQ(layout.depth, c.depth) << c.what;
    const auto back = read_png(write_png(image));
    ASSERT_TRUE(back) << c.what << ": " << back.why();
    EXPECT_EQ(back->pixels, c.pixels) << c.what;
  }
}

TEST(PngRead, EveryColourTypeDepthFilterAndInterlacing) {
  struct Kind {
    int type;
    std::vector<int> depths;
  };
  const Kind kinds[] = {
      {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
  std::mt19937 rng(1);
  for (const Kind& k : kinds) {
    for (const int depth : k.depths) {
      for (const bool interlaced : {false, true}) {
        for (const bool trns : {false, true}) {
          pngtest::RawPng png{
              .width = 13, .height = 11, .type = k.type, .depth = depth, .interlaced = interlaced};
          const unsigned top = (1u << depth) - 1;
          for (std::size_t i = 0; i < std::size_t{13} * 11 * png.channels(); ++i) {
            png.samples.push_back(static_cast<std::uint16_t>(rng() % (top + 1)));
          }
          if (k.type == 3) {
            for (unsigned e = 0; e <= top; ++e) {
              png.plte.insert(png.plte.end(), {static_cast<std::uint8_t>(rng()), 9, 1});
            }
            if (trns) png.trns = {0, 128};
          } else if (trns && (k.type == 0 || k.type == 2)) {
            for (int c = 0; c < png.channels(); ++c) {
              png.trns.insert(png.trns.end(), {static_cast<std::uint8_t>(png.samples[c] >> 8),
                                               static_cast<std::uint8_t>(png.samples[c])});
            }
          }
          const auto image = read_png(pngtest::encode(png));
          const std::string what = "type " + std::to_string(k.type) + ", depth " +
                                   std::to_string(depth) + (interlaced ? ", Adam7" : "") +
                                   (trns ? ", tRNS" : "");
          ASSERT_TRUE(image) << what << ": " << image.why();
          ASSERT_EQ(image->size(), 143u);
          for (std::size_t i = 0; i < image->size(); ++i) {
            const auto e = pngtest::expected(png, i);
            const Rgba& p = image->pixels[i];
            ASSERT_EQ((std::array<std::uint8_t, 4>{p.r, p.g, p.b, p.a}), e) << what << " at " << i;
          }
          EXPECT_EQ(image->indexed(), k.type == 3);
        }
      }
    }
  }
}

TEST(PngRead, EveryCutAndEveryChangedByteIsRefused) {
  std::vector<Rgba> pixels;
  for (unsigned i = 0; i < 40; ++i) pixels.push_back({static_cast<std::uint8_t>(i * 6), 3, 9, 200});
  const Bytes png = write_png({8, 5, pixels});
  ASSERT_TRUE(read_png(png));
  for (std::size_t n = 0; n < png.size(); ++n) {
    EXPECT_FALSE(read_png(ByteSpan(png.data(), n))) << "cut at " << n;
    Bytes changed = png;
    changed[n] ^= 0x20;
    EXPECT_FALSE(read_png(changed)) << "byte " << n;
  }
  Bytes longer = png;
  longer.insert(longer.end(), {1, 2, 3});  // after IEND: passed over
  EXPECT_TRUE(read_png(longer));
}

TEST(PngRead, RefusesImagesPastTheBound) {
  // Only the header matters: the size is refused before any data is read.
  Bytes file = pngtest::encode({.width = 1, .height = 1, .type = 0, .depth = 1, .samples = {0}});
  const Bytes header = {0x00, 0x00, 0x40, 0x01, 0x00, 0x00, 0x40, 0x01};
  std::copy(header.begin(), header.end(), file.begin() + 16);
  const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, file.data() + 12, 17));
  for (int s = 0; s < 4; ++s) file[29 + s] = static_cast<std::uint8_t>(crc >> (24 - 8 * s));
  EXPECT_EQ(read_png(file).why(),
            "the image is 16385 x 16385 pixels; more than 268435456 are not read");
  EXPECT_EQ(read_png(testsupport::hex("89 50 4E 47")).why(),
            "not a PNG image (its first 8 bytes are not the PNG signature)");
}

// Images past 4 MiB of rows take the quick coder: runs, Huffman codes, stored pieces where noise
// does not compress, across the pieces' edges; a palette image too.
TEST(PngWrite, LargeImagesComeBackExactly) {
  std::mt19937 rng(7);
  for (const bool few : {false, true}) {
    const unsigned w = few ? 2100 : 1024, h = few ? 2100 : 1100;
    Image image{w, h};
    for (unsigned y = 0; y < h; ++y) {
      for (unsigned x = 0; x < w; ++x) {
        const auto v = static_cast<std::uint8_t>(few ? (x / 50 + y / 70) % 40 : rng());
        const bool noise = !few && y < 300;
        image.pixels.push_back(noise ? Rgba{v, static_cast<std::uint8_t>(v * 3), 7, 255}
                                     : Rgba{static_cast<std::uint8_t>(x / 9), 40,
                                            static_cast<std::uint8_t>(y % 7 ? v : 9),
                                            static_cast<std::uint8_t>(x % 200 ? 255 : 0)});
        if (few) image.pixels.back() = {v, 2, 3, 255};
      }
    }
    const Bytes png = write_png(image);
    const auto back = read_png(png);
    ASSERT_TRUE(back) << back.why();
    EXPECT_EQ(back->pixels, image.pixels) << few;
    EXPECT_EQ(back->indexed(), few);
    EXPECT_LT(png.size(), image.size() * (few ? 1 : 3)) << few;
  }
}

TEST(RunCoder, ZlibInflatesWhatItWrites) {
  const Bytes noise = pngtest::random_bytes(200000, 4);
  Bytes runs(70000, 0);
  for (std::size_t i = 0; i < runs.size(); i += 997) runs[i] = static_cast<std::uint8_t>(i);
  Bytes mixed = runs;
  mixed.insert(mixed.end(), noise.begin(), noise.begin() + 50000);
  const std::vector<Bytes> pieces_of[] = {{{}}, {{5}}, {runs}, {noise}, {mixed, runs, {}}};
  for (const unsigned distance : {8u, 9u, 32768u}) {
    for (const auto& pieces : pieces_of) {
      RunCoder coder(distance);
      Bytes stream, whole;
      for (std::size_t k = 0; k < pieces.size(); ++k) {
        coder.add(pieces[k], k + 1 == pieces.size(), stream);
        whole.insert(whole.end(), pieces[k].begin(), pieces[k].end());
      }
      Bytes back(whole.size() + 1);
      uLongf size = static_cast<uLongf>(back.size());
      ASSERT_EQ(uncompress(back.data(), &size, stream.data(), static_cast<uLong>(stream.size())),
                Z_OK)
          << distance << " " << whole.size();
      back.resize(size);
      EXPECT_EQ(back, whole) << distance;
    }
  }
}

TEST(RunCoder, Adler32AsZlibs) {
  const Bytes data = pngtest::random_bytes(300000, 9);
  const Bytes ff(140000, 0xFF);  // the largest sums
  for (const Bytes* d : {&data, &ff}) {
    for (const std::size_t n : {0, 1, 31, 32, 33, 5553, 131072, 131105, 139999}) {
      const auto expected =
          static_cast<std::uint32_t>(::adler32(7, d->data(), static_cast<uInt>(n)));
      EXPECT_EQ(texcore::adler32(7, ByteSpan(d->data(), n)), expected) << n;
    }
  }
}

// The zlib stream's header and Adler-32 are checked by the reader itself, wherever the IDAT
// chunks cut them (chunk CRCs right).
TEST(PngRead, ZlibHeaderAndChecksumInAnyChunks) {
  std::vector<Rgba> pixels;
  for (unsigned i = 0; i < 300; ++i) pixels.push_back({static_cast<std::uint8_t>(i), 5, 9, 255});
  const Bytes png = write_png({30, 10, pixels});
  // The image data, and the signature and chunks before it.
  Bytes head = testsupport::hex("89 50 4E 47 0D 0A 1A 0A"), data;
  std::size_t at = 8;
  for (;;) {
    const std::size_t n =
        std::size_t{png[at]} << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
    if (std::string(png.begin() + at + 4, png.begin() + at + 8) != "IDAT") {
      if (data.empty()) head.insert(head.end(), png.begin() + at, png.begin() + at + 12 + n);
    } else {
      data.insert(data.end(), png.begin() + at + 8, png.begin() + at + 8 + n);
    }
    at += 12 + n;
    if (at >= png.size()) break;
  }
  const auto rebuilt = [&](const Bytes& z, std::size_t piece) {
    Bytes out = head;
    for (std::size_t k = 0; k < z.size(); k += piece) {
      pngtest::chunk(out, "IDAT", Bytes(z.begin() + k, z.begin() + std::min(z.size(), k + piece)));
    }
    pngtest::chunk(out, "IEND", {});
    return out;
  };
  for (const std::size_t piece : {1, 3, 5000}) {
    const auto image = read_png(rebuilt(data, piece));
    ASSERT_TRUE(image) << image.why();
    EXPECT_EQ(image->pixels, pixels);
    Bytes changed = data;
    changed.back() ^= 1;
    EXPECT_EQ(read_png(rebuilt(changed, piece)).why(),
              "its image data is damaged (incorrect data check)");
    changed = data;
    changed[1] ^= 1;
    EXPECT_EQ(read_png(rebuilt(changed, piece)).why(),
              "its image data is damaged (incorrect header check)");
    EXPECT_EQ(read_png(rebuilt(Bytes(data.begin(), data.end() - 1), piece)).why(),
              "its image data ends before the image does");
  }
}
