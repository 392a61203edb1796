// The PNG reader on arbitrary files: a file it takes gives exactly width x height pixels, writes
// back into a PNG that reads as the same image, and makes texels of every format that read back
// as they were.
#include <cstdint>
#include <cstdio>

#include "fuzz/check.hpp"
#include "texcore/codec.hpp"
#include "texcore/png.hpp"

using namespace texcore;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A small bound keeps each run quick; the bound itself is checked like any other.
  const auto image = read_png(ByteSpan(data, size), {.max_pixels = std::uint64_t{1} << 20});
  if (!image) {
    FUZZ_CHECK(!image.why().empty());
    return 0;
  }
  FUZZ_CHECK(image->width > 0 && image->height > 0);
  FUZZ_CHECK(image->size() == std::size_t{image->width} * image->height);
  FUZZ_CHECK(image->size() <= std::size_t{1} << 20);
  if (image->indexed()) {
    FUZZ_CHECK(image->indices.size() == image->size());
    for (std::size_t i = 0; i < image->size(); ++i) {
      FUZZ_CHECK(image->indices[i] < image->palette.size());
      FUZZ_CHECK(image->pixels[i] == image->palette[image->indices[i]]);
    }
  }
  const auto again = read_png(write_png(*image));
  FUZZ_CHECK(again.ok());
  FUZZ_CHECK(again->pixels == image->pixels);
  if (image->indexed()) FUZZ_CHECK(again->indices == image->indices);

  // Texels made from the image decode to colours that encode to the same texels, exactly.
  if (image->size() > 4096) return 0;
  for (const FormatInfo& f : kFormats) {
    const auto made = encode(*image, f.format);
    if (!made) continue;  // an odd count of 4-bit texels, or too many colours for a palette
    const auto shown =
        decode(made->texels, f.format, image->width, image->height, {.palette = &made->palette});
    FUZZ_CHECK(shown.ok());
    const auto back = encode(*shown, f.format, {.palette = &made->palette});
    FUZZ_CHECK(back.ok() && back->texels == made->texels && back->rounded == 0);
  }
  return 0;
}
