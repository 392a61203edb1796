// A 4096 x 4096 RGBA16 texture each way, in MB/s of texels (32 MiB): texels to PNG (what tex2png
// does) and PNG to texels (png2tex), and the conversions to and from 8-bit RGBA alone. Two
// textures: a drawn one (gradients, flat areas, strokes) and noise.
#include <benchmark/benchmark.h>

#include <random>

#include "texcore/png.hpp"
#include "texcore/texture.hpp"

namespace {

constexpr unsigned kSide = 4096;

const texcore::Bytes& texels(bool noise) {
  static const auto make = [](bool random) {
    texcore::Bytes t(std::size_t{kSide} * kSide * 2);
    std::mt19937 rng(3);
    for (unsigned y = 0; y < kSide; ++y) {
      for (unsigned x = 0; x < kSide; ++x) {
        unsigned v = rng();
        if (!random) {
          // Gradients in blocks of 64, a flat band, and thin strokes with an alpha edge.
          const unsigned r = (x / 64 * 5 + y / 128) & 31, g = (y >> 7) & 31, b = (x ^ y) >> 7 & 31;
          const bool stroke = (x + y / 3) % 97 < 3;
          const bool band = y % 512 < 64;
          v = band ? 0xFFFF : stroke ? 0xF800 : (r << 11 | g << 6 | b << 1 | ((x % 256) > 2));
        }
        const std::size_t i = 2 * (std::size_t{y} * kSide + x);
        t[i] = static_cast<std::uint8_t>(v >> 8);
        t[i + 1] = static_cast<std::uint8_t>(v);
      }
    }
    return t;
  };
  static const texcore::Bytes drawn = make(false), random = make(true);
  return noise ? random : drawn;
}

const texcore::Texture kTexture{texcore::Format::rgba16, kSide, kSide, 0};

void label(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide * 2);
  state.SetLabel(state.range(0) ? "noise" : "drawn");
}

void BM_TexelsToPng(benchmark::State& state) {
  const auto& t = texels(state.range(0) != 0);
  std::size_t size = 0;
  for (auto _ : state) {
    const auto png = texcore::write_png(**texcore::texture_rows(t, kTexture, {}, {}));
    size = png.size();
    benchmark::DoNotOptimize(png.data());
  }
  label(state);
  state.counters["png_bytes"] = static_cast<double>(size);
}

void BM_PngToTexels(benchmark::State& state) {
  const auto& t = texels(state.range(0) != 0);
  const auto png = texcore::write_png(*texcore::cut_texture(t, kTexture, {}, {}));
  for (auto _ : state) {
    const auto back = texcore::png_texels(png, texcore::Format::rgba16, {}, {});
    if (back.encoded->texels != t) state.SkipWithError("not the same texels");
    benchmark::DoNotOptimize(back.encoded->texels.data());
  }
  label(state);
}

void BM_Decode(benchmark::State& state) {
  const auto& t = texels(state.range(0) != 0);
  for (auto _ : state) {
    const auto image = texcore::cut_texture(t, kTexture, {}, {});
    benchmark::DoNotOptimize(image->pixels.data());
  }
  label(state);
}

void BM_Encode(benchmark::State& state) {
  const auto& t = texels(state.range(0) != 0);
  const auto image = texcore::cut_texture(t, kTexture, {}, {});
  for (auto _ : state) {
    const auto back = texcore::encode(*image, texcore::Format::rgba16);
    benchmark::DoNotOptimize(back->texels.data());
  }
  label(state);
}

BENCHMARK(BM_TexelsToPng)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PngToTexels)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Decode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Encode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
