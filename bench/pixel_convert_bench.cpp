// Pixel conversion speed: the same-format copy, the fixed pairs the screens use, and the
// general per-pixel loop, over a 640 x 480 rectangle.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "engine/graphics/color_format.h"

namespace {

using tessra::ColorFormat;

ColorFormat Masks(int depth, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    ColorFormat f{};
    tessra::BuildColorFormatFromMasks(&f, depth, r, g, b, a);
    return f;
}

void Convert(benchmark::State& state, ColorFormat dst, ColorFormat src, int dither,
             int keyToAlpha) {
    const int w = 640, h = 480;
    std::vector<uint8_t> in(static_cast<size_t>(w * h * src.bytesPerPixel));
    std::mt19937 rng(1);
    for (auto& b : in) b = static_cast<uint8_t>(rng());
    std::vector<uint8_t> out(static_cast<size_t>(w * h * dst.bytesPerPixel));
    const tessra::Rect r{0, 0, w, h};
    for (auto _ : state) {
        tessra::ConvertRectPixels(out.data(), w * dst.bytesPerPixel, &dst, in.data(),
                                  w * src.bytesPerPixel, &src, nullptr, 0, nullptr, 0, 0, &r, 0,
                                  keyToAlpha, 0xFF00FF, dither, 0, 0, 0);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * w * h);
}

const ColorFormat kXrgb = Masks(32, 0xFF0000, 0xFF00, 0xFF, 0);
const ColorFormat kArgb = Masks(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
const ColorFormat k565 = Masks(16, 0xF800, 0x7E0, 0x1F, 0);
const ColorFormat k555 = Masks(16, 0x7C00, 0x3E0, 0x1F, 0);
const ColorFormat k4444 = Masks(16, 0xF00, 0xF0, 0xF, 0xF000);
ColorFormat Rgb24() {
    ColorFormat f{};
    tessra::SetRgb24Format(&f);
    return f;
}

BENCHMARK_CAPTURE(Convert, same_xrgb, kXrgb, kXrgb, 0, 0);
BENCHMARK_CAPTURE(Convert, fixed_565_to_xrgb, kXrgb, k565, 0, 0);
BENCHMARK_CAPTURE(Convert, fixed_565_to_555, k555, k565, 0, 0);
BENCHMARK_CAPTURE(Convert, fixed_rgb24_to_565, k565, Rgb24(), 0, 0);
BENCHMARK_CAPTURE(Convert, key_xrgb_to_argb, kArgb, kXrgb, 0, 1);
BENCHMARK_CAPTURE(Convert, general_argb_to_4444, k4444, kArgb, 0, 0);
BENCHMARK_CAPTURE(Convert, general_dither_xrgb_to_565, k565, kXrgb, 1, 0);

}  // namespace

BENCHMARK_MAIN();
