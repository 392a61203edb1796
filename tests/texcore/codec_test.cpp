// The texel formats both ways: the widening by value, exhaustive and random round trips through
// PNG, nearest-value rounding, palettes, and the TGA images greyconv takes back.
#include <gtest/gtest.h>

#include <random>

#include "greycore/texels.hpp"
#include "support/testsupport.hpp"
#include "tests/texcore/png_oracle.hpp"
#include "texcore/png.hpp"
#include "texcore/texture.hpp"
#include "texcore/tga.hpp"

using namespace texcore;

namespace {

using pngtest::random_bytes;

// A palette whose entries repeat: indices must come back as they were, not as the first entry
// of their colour.
Palette shared_palette(PaletteFormat format, unsigned count, std::uint32_t seed) {
  Palette p{format, {}};
  std::mt19937 rng(seed);
  for (unsigned k = 0; k < count; ++k) {
    p.entries.push_back(k % 5 == 4 ? p.entries[k / 2] : static_cast<std::uint16_t>(rng()));
  }
  return p;
}

// Texels -> image -> PNG -> image -> texels.
Encoded through_png(const Bytes& texels, Format format, unsigned width, const Palette* palette,
                    bool opaque = false) {
  const unsigned height = static_cast<unsigned>(texels.size() * 8 / info(format).bits / width);
  const auto image = decode(texels, format, width, height, {.opaque = opaque, .palette = palette});
  EXPECT_TRUE(image) << image.why();
  const auto back = read_png(write_png(*image));
  EXPECT_TRUE(back) << back.why();
  auto encoded = encode(*back, format, {.palette = palette});
  EXPECT_TRUE(encoded) << encoded.why();
  return *encoded;
}

}  // namespace

TEST(Widen, ReplicatesBits) {
  const std::uint8_t three[] = {0, 36, 73, 109, 146, 182, 219, 255};
  for (unsigned v = 0; v < 8; ++v) EXPECT_EQ(widen(v, 3), three[v]);
  for (unsigned v = 0; v < 32; ++v) {
    EXPECT_EQ(widen(v, 5), (v << 3) | (v >> 2));
    if (v < 16) {
      EXPECT_EQ(widen(v, 4), v * 17);
    }
    if (v < 2) {
      EXPECT_EQ(widen(v, 1), v * 255);
    }
  }
  for (unsigned v = 0; v < 256; ++v) EXPECT_EQ(widen(v, 8), v);
}

TEST(Widen, TexelsShowAsTheConsoleDrawsThem) {
  struct Case {
    Format format;
    Bytes texels;
    bool opaque;
    Rgba first;
  };
  const Case cases[] = {
      {Format::i4, {0xF3}, false, {255, 255, 255, 255}},
      {Format::i4, {0x3F}, false, {51, 51, 51, 51}},  // alpha is the intensity
      {Format::i4, {0x3F}, true, {51, 51, 51, 255}},
      {Format::i8, {0x80}, false, {128, 128, 128, 128}},
      {Format::ia4, {0x3F}, false, {36, 36, 36, 255}},   // I = 1, A = 1
      {Format::ia4, {0xE0}, false, {255, 255, 255, 0}},  // transparent, intensity kept
      {Format::ia8, {0x5A}, false, {85, 85, 85, 170}},
      {Format::ia16, {0x12, 0x34}, false, {0x12, 0x12, 0x12, 0x34}},
      {Format::rgba16, {0x08, 0x43}, false, {8, 8, 8, 255}},  // R 1, G 1, B 1, A 1
      {Format::rgba32, {1, 2, 3, 4}, false, {1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    const unsigned n = static_cast<unsigned>(c.texels.size() * 8 / info(c.format).bits);
    const auto image = decode(c.texels, c.format, n, 1, {.opaque = c.opaque});
    ASSERT_TRUE(image) << image.why();
    EXPECT_EQ(image->pixels[0], c.first) << info(c.format).name;
  }
}

TEST(RoundTrip, EveryByteOfThe4And8BitFormats) {
  Bytes all(256);
  for (unsigned v = 0; v < 256; ++v) all[v] = static_cast<std::uint8_t>(v);
  for (const Format format : {Format::i4, Format::i8, Format::ia4, Format::ia8}) {
    for (const bool opaque : {false, true}) {
      const Encoded e = through_png(all, format, 16, nullptr, opaque);
      EXPECT_EQ(e.texels, all) << info(format).name << (opaque ? " opaque" : "");
      EXPECT_EQ(e.rounded, 0u);
    }
  }
  for (const Format format : {Format::ci4, Format::ci8}) {
    const Palette p = shared_palette(PaletteFormat::rgba16, palette_size(format), 5);
    EXPECT_EQ(through_png(all, format, 16, &p).texels, all) << info(format).name;
  }
}

TEST(RoundTrip, RandomDataOfEveryFormatAndPalette) {
  for (const FormatInfo& f : kFormats) {
    for (const unsigned width : {1u, 6u, 64u}) {
      const Bytes texels = random_bytes(width * 8 * 12, width + f.bits);
      for (const PaletteFormat pf : {PaletteFormat::rgba16, PaletteFormat::ia16}) {
        const Palette p = shared_palette(pf, palette_size(f.format), width);
        const Palette* given = f.indexed() ? &p : nullptr;
        const Encoded e = through_png(texels, f.format, width, given);
        EXPECT_EQ(e.texels, texels) << f.name << " " << width;
        EXPECT_EQ(e.rounded, 0u) << f.name;
        if (!f.indexed()) break;
        // Without the palette, the image's own (an indexed PNG's) comes back in its order.
        const auto image = decode(texels, f.format, width, 12 * 8 * 8 / f.bits, {.palette = &p});
        const auto made = encode(*read_png(write_png(*image)), f.format, {.palette_format = pf});
        ASSERT_TRUE(made) << made.why();
        EXPECT_EQ(made->texels, texels) << f.name;
        EXPECT_EQ(made->palette.bytes(), p.bytes()) << f.name;
      }
    }
  }
}

TEST(Encode, TakesTheNearestValueAndCountsWhatItRounds) {
  std::mt19937 rng(11);
  for (const FormatInfo& f : kFormats) {
    if (f.indexed() || f.bits > 16) continue;
    Image image{64, 4};
    for (unsigned i = 0; i < 256; ++i) {
      const std::uint32_t v = rng();
      const auto c = [&](int s) { return static_cast<std::uint8_t>(v >> s); };
      image.pixels.push_back(i % 3 ? Rgba{c(0), c(8), c(16), c(24)} : Rgba{c(0), c(0), c(0), c(8)});
    }
    const auto e = encode(image, f.format);
    ASSERT_TRUE(e);
    const auto shown = decode(e->texels, f.format, 64, 4);
    // The channels a texel is made from: an I texel's alpha is the console's, not read.
    const bool alpha = !f.alpha_is_intensity;
    const auto gap = [&](const Rgba& x, const Rgba& y) {
      const int d[] = {x.r - y.r, x.g - y.g, x.b - y.b, alpha ? x.a - y.a : 0};
      return d[0] * d[0] + d[1] * d[1] + d[2] * d[2] + d[3] * d[3];
    };
    // Every colour the format holds: every texel value in order.
    Bytes values;
    for (std::uint32_t v = 0; v < (1u << f.bits); v += 1 + (f.bits == 4)) {
      if (f.bits == 16) values.push_back(static_cast<std::uint8_t>(v >> 8));
      values.push_back(static_cast<std::uint8_t>(f.bits == 4 ? v << 4 | (v + 1) : v));
    }
    const std::vector<Rgba> held = decode(values, f.format, 1u << f.bits, 1)->pixels;
    std::uint64_t rounded = 0;
    for (std::size_t i = 0; i < image.size(); ++i) {
      int best = gap(held[0], image.pixels[i]);
      for (const Rgba& h : held) best = std::min(best, gap(h, image.pixels[i]));
      EXPECT_EQ(gap(shown->pixels[i], image.pixels[i]), best) << f.name << " pixel " << i;
      rounded += best > 0;
    }
    EXPECT_EQ(e->rounded, rounded) << f.name;
  }
}

TEST(Encode, PalettesMadeFromTheImageAndTheirLimits) {
  Image image{4, 4};
  for (unsigned i = 0; i < 16; ++i) {
    image.pixels.push_back({static_cast<std::uint8_t>(i / 4 * 80), 0, 0, 255});
  }
  // Four colours in order of first appearance.
  auto e = encode(image, Format::ci4);
  ASSERT_TRUE(e) << e.why();
  EXPECT_EQ(testsupport::to_hex(e->palette.bytes()), "00 01 50 01 98 01 E8 01");
  EXPECT_EQ(testsupport::to_hex(e->texels), "00 00 11 11 22 22 33 33");
  EXPECT_EQ(e->rounded, 12u);  // 80, 160 and 240 are no 5-bit levels
  // A colour that is not in a given palette takes the nearest entry.
  const Palette given{PaletteFormat::rgba16, {0x0001, 0xF801}};
  e = encode(image, Format::ci4, {.palette = &given});
  EXPECT_EQ(testsupport::to_hex(e->texels), "00 00 00 00 11 11 11 11");
  EXPECT_EQ(e->rounded, 12u);
  // 17 colours do not fit a ci4 palette.
  image.pixels.clear();
  for (unsigned i = 0; i < 16; ++i)
    image.pixels.push_back({static_cast<std::uint8_t>(i * 8), 0, 0, 255});
  image.pixels.back().g = 8;
  image.pixels.push_back(image.pixels[0]);
  image.width = 17;
  image.height = 1;
  EXPECT_EQ(encode(image, Format::ci4).why(),
            "a ci4 texture of 17 x 1 texels would end in half a byte (4-bit textures need an even "
            "number of texels)");
  image.pixels.push_back({1, 255, 0, 255});
  image.width = 18;
  EXPECT_EQ(encode(image, Format::ci4).why(),
            "the image has 17 colours as rgba16 palette entries; a ci4 palette holds 16");
}

TEST(Texture, CutsOffsetsHeightsAndSwappedRows) {
  const Bytes file = random_bytes(100, 3);
  // Without a height: every whole row.
  auto image = cut_texture(file, {Format::ia8, 8, std::nullopt, 10}, {}, {});
  ASSERT_TRUE(image);
  EXPECT_EQ(image->height, 11u);
  EXPECT_EQ(cut_texture(file, {Format::ia8, 8, 12, 10}, {}, {}).why(),
            "8 x 12 ia8 texels need 96 bytes from offset 0xA, but only 90 follow it");
  EXPECT_EQ(cut_texture(file, {Format::ia8, 8, std::nullopt, 101}, {}, {}).why(),
            "offset 0x65 is past the end of the file (100 bytes)");
  // The swap takes the odd rows' words apart and back.
  const auto swapped = cut_texture(file, {Format::rgba16, 4, 3, 0}, {.swap_rows = true}, {});
  const auto plain = cut_texture(file, {Format::rgba16, 4, 3, 0}, {}, {});
  for (unsigned x = 0; x < 4; ++x) {
    EXPECT_EQ(swapped->pixels[x], plain->pixels[x]);
    EXPECT_EQ(swapped->pixels[4 + x], plain->pixels[4 + (x + 2) % 4]);
  }
  const auto back = texels_of(*swapped, Format::rgba16, {.swap_rows = true}, {});
  EXPECT_EQ(back->texels, Bytes(file.begin(), file.begin() + 24));
}

TEST(Palette, ReadAtAnOffsetUpToTheEndOfTheFile) {
  const Bytes file = testsupport::hex("00 11 22 33 44 55 66");
  EXPECT_EQ(testsupport::to_hex(read_palette(file, 1, PaletteFormat::ia16, 16)->bytes()),
            "11 22 33 44 55 66");
  EXPECT_EQ(read_palette(file, 2, PaletteFormat::ia16, 2)->entries.size(), 2u);
  EXPECT_EQ(read_palette(file, 6, PaletteFormat::ia16, 16).why(),
            "no palette entry at offset 0x6: the file holds 7 bytes");
  EXPECT_EQ(parse_palette_source("pal@x@0x20").file, "pal@x");
  EXPECT_EQ(parse_palette_source("pal@x@0x20").offset, 0x20u);
  EXPECT_EQ(parse_palette_source("mail@home").file, "mail@home");
}

// greyconv's keys take the greyscale TGA of I4 (key 4), IA8 (key 1) and IA4 (key 2) back into the
// same texels, but for transparent texels that keep an intensity, which it writes as 0.
TEST(Tga, GreyconvTakesTheTexelsBack) {
  Bytes all(256);
  for (unsigned v = 0; v < 256; ++v) all[v] = static_cast<std::uint8_t>(v);
  struct Case {
    Format format;
    greycore::Texels key;
  };
  for (const Case& c :
       {Case{Format::i4, greycore::Texels::i4_of_grey}, Case{Format::ia8, greycore::Texels::ia8},
        Case{Format::ia4, greycore::Texels::ia4}}) {
    for (const bool opaque : {false, true}) {
      const auto image =
          decode(all, c.format, 16, 256 * 8 / info(c.format).bits / 16, {.opaque = opaque});
      const auto tga = write_tga(*image, true);
      ASSERT_TRUE(tga);
      ASSERT_TRUE(greycore::size_warning("x", greycore::checkTGA(*tga)).empty());
      const Bytes back =
          greycore::convert(*tga, static_cast<std::int64_t>(tga->size()) - 18, c.key);
      Bytes expected = all;
      for (auto& v : expected) {
        if (c.format == Format::ia8 && (v & 0x0F) == 0) v = 0;
        if (c.format == Format::ia4) {
          if ((v & 0x10) == 0) v &= 0x0F;
          if ((v & 0x01) == 0) v &= 0xF0;
        }
      }
      EXPECT_EQ(back, expected) << info(c.format).name;
    }
  }
}

// What the programs do: rows decoded from the texels into the PNG, and the PNG's rows encoded
// straight into texels, the odd rows swapped; the RGBA ones large enough for the quick coder.
TEST(RoundTrip, RowByRowThroughPngOfEveryFormat) {
  for (const FormatInfo& f : kFormats) {
    const unsigned side = f.fields[0].channel == Channel::red ? 1030 : 130;
    const Bytes texels = random_bytes(side * side * f.bits / 8, f.bits);
    const Palette p = shared_palette(PaletteFormat::rgba16, palette_size(f.format), 2);
    const Palette* given = f.indexed() ? &p : nullptr;
    const Layout swapped{.swap_rows = true};
    const auto rows = texture_rows(texels, {f.format, side, side, 0}, swapped, {.palette = given});
    ASSERT_TRUE(rows) << rows.why();
    const auto back = png_texels(write_png(**rows), f.format, swapped, {.palette = given});
    ASSERT_TRUE(back.read) << back.read.why();
    ASSERT_TRUE(back.encoded) << back.encoded.why();
    EXPECT_EQ(back.encoded->texels, texels) << f.name;
    EXPECT_EQ(back.encoded->rounded, 0u) << f.name;
    EXPECT_EQ(back.width, side);
  }
}
