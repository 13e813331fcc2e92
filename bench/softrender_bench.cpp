// Throughput of the software renderer's blits, stretches and fills at 640x480 and 1920x1080,
// and of its rotations, quads and ellipses, both pixel kinds. The 32-bit cases (and the 16-bit
// fill) also run the matching pixman operation in the same run (and the copy memcpy of the same
// buffers, its limit), and a table of the rates and their ratios is printed at the end.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/graphics/draw_state.h"
#include "engine/screen/memimg.h"
#include "engine/screen/soft_tables.h"
#include "engine/softrender/soft_render.h"

namespace {

using tessra::MEMIMG;

struct Size {
    int w, h;
};
const Size kSizes[] = {{640, 480}, {1920, 1080}};

struct OwnedImage {
    MEMIMG m{};
    OwnedImage(int kind, int w, int h, int buffers = 0, uint32_t key = 0, int alpha = 0) {
        tessra::InitMemImg(&m, w, h, -1, key, kind, 0, alpha, buffers);
    }
    ~OwnedImage() { tessra::ReleaseMemImg(&m); }
};

void Noise(MEMIMG& m, uint32_t seed) {
    std::mt19937 rng(seed);
    for (int y = 0; y < m.height; ++y) {
        uint8_t* row = m.pixels + ptrdiff_t(y) * m.pitch;
        for (int x = 0; x < m.width * (m.kind == 0 ? 2 : 4); ++x) row[x] = uint8_t(rng());
    }
}

// A round sprite: the key colour outside a circle, noise inside.
void Sprite(MEMIMG& m, uint32_t key) {
    Noise(m, 99);
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x) {
            int dx = 2 * x - m.width + 1, dy = 2 * y - m.height + 1;
            bool out = dx * dx + dy * dy > m.width * m.width;
            uint8_t* p = m.pixels + y * m.pitch + x * (m.kind == 0 ? 2 : 4);
            if (out)
                std::memcpy(p, &key, m.kind == 0 ? 2 : 4);
            else if (m.kind == 1)
                p[3] = 0xFF;
        }
}

// A round sprite with per-pixel alpha: opaque inside, a soft ring, clear outside.
uint8_t SpriteAlpha(int x, int y) {
    const int dx = 2 * x - 31, dy = 2 * y - 31, r2 = dx * dx + dy * dy;
    return r2 > 32 * 32   ? 0
           : r2 < 24 * 24 ? 255
                          : uint8_t(255 - (r2 - 24 * 24) * 255 / (32 * 32 - 24 * 24));
}

// The run data the image transfer writes for a whole image: by alpha when it has alpha, else by
// comparing with the transparent value.
void WriteRuns(MEMIMG& m) {
    uint8_t* out = m.auxBuffer;
    const int bpp = m.kind == 0 ? 2 : 4;
    for (int y = 0; y < m.height; ++y) {
        auto code = [&](int x) {
            uint32_t v = 0;
            std::memcpy(&v, m.pixels + y * m.pitch + x * bpp, bpp);
            if (m.alpha) return (v >> 24) == 0 ? 0 : (v >> 24) == 255 ? 1 : 2;
            return v == m.transColor ? 0 : 1;
        };
        for (int x = 0; x < m.width;) {
            int c = code(x), n = 1;
            while (x + n < m.width && n < 64 && code(x + n) == c) ++n;
            *out++ = uint8_t(c * 64 + n - 1);
            x += n;
        }
        *out++ = 0xC0;
    }
    m.runData = 1;
}

void SetState(int mode, int p) {
    tessra::DrawState.blendMode = mode;
    tessra::DrawState.blendParam = p;
    tessra::DrawState.brightness[0] = tessra::DrawState.brightness[1] =
        tessra::DrawState.brightness[2] = 255;
    tessra::DrawState.DrawArea = {0, 0, 1 << 16, 1 << 16};
    tessra::DrawState.maskActive = 0;
    tessra::MmxAvailable = 1;
}

std::vector<std::pair<int, int>> SpritePlaces(Size s) {
    std::mt19937 rng(7);
    std::vector<std::pair<int, int>> v;
    for (int i = 0; i < 1000; ++i) v.push_back({int(rng() % (s.w - 32)), int(rng() % (s.h - 32))});
    return v;
}

// --- ours -------------------------------------------------------------------------------

enum Op { kCopy, kAlpha, kAdd, kSub, kMul };
const int kModes[] = {0, 1, 2, 3, 4};
const int kParams[] = {0, 128, 255, 255, 0};

void OursBlend(benchmark::State& state, int kind, Size s, Op op) {
    OwnedImage dst(kind, s.w, s.h), src(kind, s.w, s.h);
    Noise(dst.m, 1);
    Noise(src.m, 2);
    SetState(kModes[op], kParams[op]);
    for (auto _ : state) {
        tessra::MemImgBlit(&dst.m, &src.m, 0, 0, 0, nullptr);
        benchmark::DoNotOptimize(dst.m.pixels);
    }
    state.SetItemsProcessed(state.iterations() * s.w * s.h);
}

void OursSprites(benchmark::State& state, int kind, Size s, bool runs) {
    OwnedImage dst(kind, s.w, s.h), spr(kind, 32, 32, 1, kind == 0 ? 0xF81F : 0x00FF00FF);
    Noise(dst.m, 1);
    Sprite(spr.m, spr.m.transColor);
    if (runs) WriteRuns(spr.m);
    SetState(0, 0);
    const auto places = SpritePlaces(s);
    for (auto _ : state) {
        for (auto [x, y] : places) tessra::MemImgBlit(&dst.m, &spr.m, x, y, 1, nullptr);
        benchmark::DoNotOptimize(dst.m.pixels);
    }
    state.SetItemsProcessed(state.iterations() * 1000 * 32 * 32);
}

void OursAlphaSprites(benchmark::State& state, Size s, bool runs) {
    OwnedImage dst(1, s.w, s.h), spr(1, 32, 32, 1, 0, 1);
    Noise(dst.m, 1);
    Noise(spr.m, 5);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) spr.m.pixels[y * spr.m.pitch + 4 * x + 3] = SpriteAlpha(x, y);
    if (runs) WriteRuns(spr.m);
    SetState(0, 0);
    const auto places = SpritePlaces(s);
    for (auto _ : state) {
        for (auto [x, y] : places) tessra::MemImgBlit(&dst.m, &spr.m, x, y, 1, nullptr);
        benchmark::DoNotOptimize(dst.m.pixels);
    }
    state.SetItemsProcessed(state.iterations() * 1000 * 32 * 32);
}

void OursStretch(benchmark::State& state, int kind, Size s, bool up) {
    OwnedImage dst(kind, s.w, s.h), src(kind, up ? s.w / 2 : s.w * 2, up ? s.h / 2 : s.h * 2);
    Noise(dst.m, 1);
    Noise(src.m, 2);
    SetState(0, 0);
    const tessra::Rect r{0, 0, s.w, s.h};
    for (auto _ : state) {
        tessra::MemImgStretchBlit(&dst.m, &src.m, &r, 0, nullptr);
        benchmark::DoNotOptimize(dst.m.pixels);
    }
    state.SetItemsProcessed(state.iterations() * s.w * s.h);
}

// The sky of the title: the screen in 21 bands, each an 8x8 source stretched across its band,
// keyed and under a coloured brightness (pixman's match below draws the same bands unkeyed and
// untinted, which can only flatter it).
const int kBands = 21;

void OursBands(benchmark::State& state, int kind, Size s) {
    OwnedImage dst(kind, s.w, s.h), src(kind, 8, 8, 0, kind == 0 ? 0xF81F : 0x00FF00FF);
    Noise(dst.m, 1);
    Noise(src.m, 2);
    SetState(0, 0);
    tessra::DrawState.brightness[0] = 200;
    tessra::DrawState.brightness[1] = 128;
    tessra::DrawState.brightness[2] = 64;
    for (auto _ : state) {
        for (int i = 0; i < kBands; ++i) {
            const tessra::Rect r{0, i * s.h / kBands, s.w, (i + 1) * s.h / kBands};
            tessra::MemImgStretchBlit(&dst.m, &src.m, &r, 1, nullptr);
        }
        benchmark::DoNotOptimize(dst.m.pixels);
    }
    state.SetItemsProcessed(state.iterations() * s.w * s.h);
}

void OursFill(benchmark::State& state, int kind, Size s) {
    OwnedImage dst(kind, s.w, s.h);
    SetState(0, 0);
    for (auto _ : state) {
        tessra::MemImgFillRect(&dst.m, nullptr, 0x00336699);
        benchmark::DoNotOptimize(dst.m.pixels);
    }
    state.SetItemsProcessed(state.iterations() * s.w * s.h);
}

// The physical limit of the copy: memcpy of the same buffers, whole when the rows are contiguous.
void MemcpyCopy(benchmark::State& state, int kind, Size s) {
    OwnedImage dst(kind, s.w, s.h), src(kind, s.w, s.h);
    Noise(dst.m, 1);
    Noise(src.m, 2);
    const size_t row = size_t(s.w) * (kind == 0 ? 2 : 4);
    const bool whole = size_t(dst.m.pitch) == row && size_t(src.m.pitch) == row;
    for (auto _ : state) {
        if (whole) {
            std::memcpy(dst.m.pixels, src.m.pixels, row * s.h);
        } else {
            for (int y = 0; y < s.h; ++y)
                std::memcpy(dst.m.pixels + ptrdiff_t(y) * dst.m.pitch,
                            src.m.pixels + ptrdiff_t(y) * src.m.pitch, row);
        }
        benchmark::DoNotOptimize(dst.m.pixels);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * s.w * s.h);
}

// --- pixman -----------------------------------------------------------------------------

struct PixImage {
    std::vector<uint32_t> bits;
    pixman_image_t* img;
    PixImage(pixman_format_code_t f, int w, int h, uint32_t seed) : bits(size_t(w) * h) {
        std::mt19937 rng(seed);
        for (auto& b : bits) b = rng();
        img = pixman_image_create_bits(f, w, h, bits.data(), w * 4);
    }
    ~PixImage() { pixman_image_unref(img); }
};

void PixBlend(benchmark::State& state, Size s, Op op) {
    PixImage dst(PIXMAN_a8r8g8b8, s.w, s.h, 1);
    PixImage src(op == kCopy ? PIXMAN_x8r8g8b8 : PIXMAN_a8r8g8b8, s.w, s.h, 2);
    if (op == kAlpha) {
        for (auto& b : src.bits) b |= 0xFF000000u;  // opaque source under a constant mask
    }
    pixman_color_t half{0x8080, 0x8080, 0x8080, 0x8080};
    pixman_image_t* mask = op == kAlpha ? pixman_image_create_solid_fill(&half) : nullptr;
    const pixman_op_t pop = op == kCopy    ? PIXMAN_OP_SRC
                            : op == kAlpha ? PIXMAN_OP_OVER
                            : op == kAdd   ? PIXMAN_OP_ADD
                                           : PIXMAN_OP_MULTIPLY;
    for (auto _ : state) {
        pixman_image_composite32(pop, src.img, mask, dst.img, 0, 0, 0, 0, 0, 0, s.w, s.h);
        benchmark::DoNotOptimize(dst.bits.data());
    }
    if (mask) pixman_image_unref(mask);
    state.SetItemsProcessed(state.iterations() * s.w * s.h);
}

void PixSprites(benchmark::State& state, Size s) {
    PixImage dst(PIXMAN_x8r8g8b8, s.w, s.h, 1), spr(PIXMAN_a8r8g8b8, 32, 32, 3);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            int dx = 2 * x - 31, dy = 2 * y - 31;
            uint32_t& p = spr.bits[y * 32 + x];
            p = dx * dx + dy * dy > 32 * 32 ? 0 : (p | 0xFF000000u);
        }
    const auto places = SpritePlaces(s);
    for (auto _ : state) {
        for (auto [x, y] : places)
            pixman_image_composite32(PIXMAN_OP_OVER, spr.img, nullptr, dst.img, 0, 0, 0, 0, x, y,
                                     32, 32);
        benchmark::DoNotOptimize(dst.bits.data());
    }
    state.SetItemsProcessed(state.iterations() * 1000 * 32 * 32);
}

void PixAlphaSprites(benchmark::State& state, Size s) {
    PixImage dst(PIXMAN_x8r8g8b8, s.w, s.h, 1), spr(PIXMAN_a8r8g8b8, 32, 32, 5);
    // pixman takes premultiplied colour.
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            uint32_t a = SpriteAlpha(x, y), p = spr.bits[y * 32 + x], out = a << 24;
            for (int i = 0; i < 24; i += 8) out |= (((p >> i) & 0xFF) * a / 255) << i;
            spr.bits[y * 32 + x] = out;
        }
    const auto places = SpritePlaces(s);
    for (auto _ : state) {
        for (auto [x, y] : places)
            pixman_image_composite32(PIXMAN_OP_OVER, spr.img, nullptr, dst.img, 0, 0, 0, 0, x, y,
                                     32, 32);
        benchmark::DoNotOptimize(dst.bits.data());
    }
    state.SetItemsProcessed(state.iterations() * 1000 * 32 * 32);
}

void PixStretch(benchmark::State& state, Size s, bool up) {
    const int sw = up ? s.w / 2 : s.w * 2, sh = up ? s.h / 2 : s.h * 2;
    PixImage dst(PIXMAN_x8r8g8b8, s.w, s.h, 1), src(PIXMAN_x8r8g8b8, sw, sh, 2);
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(double(sw) / s.w),
                                pixman_double_to_fixed(double(sh) / s.h));
    pixman_image_set_transform(src.img, &t);
    pixman_image_set_filter(src.img, PIXMAN_FILTER_NEAREST, nullptr, 0);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, src.img, nullptr, dst.img, 0, 0, 0, 0, 0, 0, s.w,
                                 s.h);
        benchmark::DoNotOptimize(dst.bits.data());
    }
    state.SetItemsProcessed(state.iterations() * s.w * s.h);
}

void PixBands(benchmark::State& state, Size s) {
    PixImage dst(PIXMAN_x8r8g8b8, s.w, s.h, 1), src(PIXMAN_x8r8g8b8, 8, 8, 2);
    pixman_image_set_filter(src.img, PIXMAN_FILTER_NEAREST, nullptr, 0);
    for (auto _ : state) {
        for (int i = 0; i < kBands; ++i) {
            const int top = i * s.h / kBands, h = (i + 1) * s.h / kBands - top;
            pixman_transform_t t;
            pixman_transform_init_scale(&t, pixman_double_to_fixed(8.0 / s.w),
                                        pixman_double_to_fixed(8.0 / h));
            pixman_image_set_transform(src.img, &t);
            pixman_image_composite32(PIXMAN_OP_SRC, src.img, nullptr, dst.img, 0, 0, 0, 0, 0, top,
                                     s.w, h);
        }
        benchmark::DoNotOptimize(dst.bits.data());
    }
    state.SetItemsProcessed(state.iterations() * s.w * s.h);
}

// pixman_fill takes the stride in 32-bit words whatever the pixel size.
void PixFill(benchmark::State& state, int kind, Size s) {
    PixImage dst(kind == 0 ? PIXMAN_r5g6b5 : PIXMAN_x8r8g8b8, s.w, s.h, 1);
    const int bpp = kind == 0 ? 16 : 32;
    const uint32_t color = kind == 0 ? 0x3333u : 0x00336699u;
    for (auto _ : state) {
        pixman_fill(dst.bits.data(), s.w * bpp / 32, bpp, 0, 0, s.w, s.h, color);
        benchmark::DoNotOptimize(dst.bits.data());
    }
    state.SetItemsProcessed(state.iterations() * s.w * s.h);
}

// --- registration and the comparison table ----------------------------------------------

std::string Name(const char* what, int bits, Size s, const char* who) {
    return std::string(what) + "/" + std::to_string(bits) + "/" + std::to_string(s.w) + "x" +
           std::to_string(s.h) + "/" + who;
}

void RegisterAll() {
    const char* opNames[] = {"copy", "alpha128", "add", "sub", "multiply"};
    for (Size s : kSizes) {
        for (int kind = 0; kind < 2; ++kind) {
            const int bits = kind == 0 ? 16 : 32;
            for (int op = 0; op < 5; ++op) {
                benchmark::RegisterBenchmark(Name(opNames[op], bits, s, "ours").c_str(), OursBlend,
                                             kind, s, Op(op));
                if (kind == 1 && op != kSub)
                    benchmark::RegisterBenchmark(Name(opNames[op], bits, s, "pixman").c_str(),
                                                 PixBlend, s, Op(op));
                if (kind == 1 && op == kCopy)
                    benchmark::RegisterBenchmark(Name(opNames[op], bits, s, "memcpy").c_str(),
                                                 MemcpyCopy, kind, s);
            }
            benchmark::RegisterBenchmark(Name("sprites", bits, s, "ours").c_str(), OursSprites,
                                         kind, s, false);
            benchmark::RegisterBenchmark(Name("sprites_runs", bits, s, "ours").c_str(), OursSprites,
                                         kind, s, true);
            benchmark::RegisterBenchmark(Name("stretch_x2", bits, s, "ours").c_str(), OursStretch,
                                         kind, s, true);
            benchmark::RegisterBenchmark(Name("stretch_half", bits, s, "ours").c_str(), OursStretch,
                                         kind, s, false);
            benchmark::RegisterBenchmark(Name("stretch_bands", bits, s, "ours").c_str(), OursBands,
                                         kind, s);
            benchmark::RegisterBenchmark(Name("fill", bits, s, "ours").c_str(), OursFill, kind, s);
            benchmark::RegisterBenchmark(Name("fill", bits, s, "pixman").c_str(), PixFill, kind, s);
            if (kind == 1) {
                benchmark::RegisterBenchmark(Name("sprites_alpha", bits, s, "ours").c_str(),
                                             OursAlphaSprites, s, false);
                benchmark::RegisterBenchmark(Name("sprites_alpha_runs", bits, s, "ours").c_str(),
                                             OursAlphaSprites, s, true);
                benchmark::RegisterBenchmark(Name("sprites_alpha", bits, s, "pixman").c_str(),
                                             PixAlphaSprites, s);
                benchmark::RegisterBenchmark(Name("sprites_alpha_runs", bits, s, "pixman").c_str(),
                                             PixAlphaSprites, s);
                benchmark::RegisterBenchmark(Name("sprites", bits, s, "pixman").c_str(), PixSprites,
                                             s);
                benchmark::RegisterBenchmark(Name("sprites_runs", bits, s, "pixman").c_str(),
                                             PixSprites, s);
                benchmark::RegisterBenchmark(Name("stretch_x2", bits, s, "pixman").c_str(),
                                             PixStretch, s, true);
                benchmark::RegisterBenchmark(Name("stretch_half", bits, s, "pixman").c_str(),
                                             PixStretch, s, false);
                benchmark::RegisterBenchmark(Name("stretch_bands", bits, s, "pixman").c_str(),
                                             PixBands, s);
            }
        }
    }
}

// --- mapped draws: rotations, quads, ellipses -------------------------------------------

// A 64x64 (or 32x32) sprite for the rotations: the key colour (or alpha 0) outside a circle.
void RotSprite(MEMIMG& m, bool alpha) {
    if (!alpha) {
        Sprite(m, m.transColor);
        return;
    }
    // Alpha pixels: 16-bit ones are the 5-6-5 word, the alpha byte and one unused byte.
    std::mt19937 rng(99);
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x) {
            const int dx = 2 * x - m.width + 1, dy = 2 * y - m.height + 1;
            const uint32_t a =
                dx * dx + dy * dy > m.width * m.width ? 0 : 128 + (x * 127) / m.width;
            const uint32_t v =
                m.kind == 0 ? (rng() & 0xFFFF) | (a << 16) : (rng() & 0xFFFFFF) | (a << 24);
            std::memcpy(m.pixels + y * m.pitch + 4 * x, &v, 4);
        }
}

// Case of the 64x64 sprite turned 30 degrees at scale 1.5: 0 mode 0, 1 mode 1 at 128, 2 alpha.
void OursRotate(benchmark::State& state, int kind, int which) {
    const bool alpha = which == 2;
    OwnedImage dst(kind, 640, 480), spr(kind, 64, 64, 0, kind == 0 ? 0xF81F : 0x00FF00FF, alpha);
    Noise(dst.m, 1);
    RotSprite(spr.m, alpha);
    SetState(which == 1 ? 1 : 0, 128);
    const auto places = SpritePlaces({640 - 64, 480 - 64});
    size_t i = 0;
    for (auto _ : state) {
        const auto [x, y] = places[i++ % places.size()];
        tessra::MemImgRotateBlit(&dst.m, &spr.m, x + 64, y + 64, 0.5235988f, 1.5f, 1, 0, nullptr);
        benchmark::DoNotOptimize(dst.m.pixels);
    }
    state.SetItemsProcessed(state.iterations() * 96 * 96);
}

// One 640x480 frame of 300 rotated 32x32 sprites, each at its own angle.
void OursRotateFrame(benchmark::State& state, int kind) {
    OwnedImage dst(kind, 640, 480), spr(kind, 32, 32, 0, kind == 0 ? 0xF81F : 0x00FF00FF);
    Noise(dst.m, 1);
    RotSprite(spr.m, false);
    SetState(0, 0);
    const auto places = SpritePlaces({640, 480});
    for (auto _ : state) {
        for (int k = 0; k < 300; ++k)
            tessra::MemImgRotateBlit(&dst.m, &spr.m, places[k].first + 16, places[k].second + 16,
                                     0.021f * float(k), 1.0f, 1, 0, nullptr);
        benchmark::DoNotOptimize(dst.m.pixels);
    }
    state.SetItemsProcessed(state.iterations() * 300 * 32 * 32);
}

// pixman's nearest-filtered affine transform of the same sprite (premultiplied, OVER).
void PixRotate(benchmark::State& state, int which, int count, int size, float scale) {
    PixImage dst(PIXMAN_x8r8g8b8, 640, 480, 1), spr(PIXMAN_a8r8g8b8, size, size, 5);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const int dx = 2 * x - size + 1, dy = 2 * y - size + 1;
            const uint32_t a = dx * dx + dy * dy > size * size ? 0
                               : which == 2                    ? 128 + (x * 127) / size
                                                               : 255;
            uint32_t p = spr.bits[y * size + x], out = a << 24;
            for (int i = 0; i < 24; i += 8) out |= (((p >> i) & 0xFF) * a / 255) << i;
            spr.bits[y * size + x] = out;
        }
    pixman_color_t half{0x8080, 0x8080, 0x8080, 0x8080};
    pixman_image_t* mask = which == 1 ? pixman_image_create_solid_fill(&half) : nullptr;
    pixman_image_set_filter(spr.img, PIXMAN_FILTER_NEAREST, nullptr, 0);
    const int box = int(float(size) * scale * 1.42f) + 2;
    const auto places = SpritePlaces({640 - box, 480 - box});
    size_t i = 0;
    for (auto _ : state) {
        for (int k = 0; k < count; ++k) {
            const float angle = count == 1 ? 0.5235988f : 0.021f * float(k);
            pixman_transform_t t;
            // Destination to source: about the box centre, turn back, scale down.
            pixman_transform_init_identity(&t);
            pixman_transform_translate(&t, nullptr, pixman_double_to_fixed(-box / 2.0),
                                       pixman_double_to_fixed(-box / 2.0));
            pixman_transform_rotate(&t, nullptr, pixman_double_to_fixed(std::cos(-angle)),
                                    pixman_double_to_fixed(std::sin(-angle)));
            pixman_transform_scale(&t, nullptr, pixman_double_to_fixed(1.0 / scale),
                                   pixman_double_to_fixed(1.0 / scale));
            pixman_transform_translate(&t, nullptr, pixman_double_to_fixed(size / 2.0),
                                       pixman_double_to_fixed(size / 2.0));
            pixman_image_set_transform(spr.img, &t);
            const auto [x, y] = places[i++ % places.size()];
            pixman_image_composite32(PIXMAN_OP_OVER, spr.img, mask, dst.img, 0, 0, 0, 0, x, y, box,
                                     box);
        }
        benchmark::DoNotOptimize(dst.bits.data());
    }
    if (mask) pixman_image_unref(mask);
    const double drawn = double(size) * scale * double(size) * scale;
    state.SetItemsProcessed(int64_t(double(state.iterations()) * count * drawn));
}

// A quad over the whole target from a 256x256 source.
void OursScreenQuad(benchmark::State& state, int kind, Size s) {
    OwnedImage dst(kind, s.w, s.h), src(kind, 256, 256);
    Noise(dst.m, 1);
    Noise(src.m, 2);
    SetState(0, 0);
    const int corners[8] = {0, 0, s.w, 0, 0, s.h, s.w, s.h};
    for (auto _ : state) {
        tessra::MemImgDrawQuad(&dst.m, &src.m, corners, 0, nullptr);
        benchmark::DoNotOptimize(dst.m.pixels);
    }
    state.SetItemsProcessed(state.iterations() * s.w * s.h);
}

// 64x64 quads (slightly skewed) in one mode, white or tinted.
void OursQuads(benchmark::State& state, int kind, int mode, bool tinted) {
    OwnedImage dst(kind, 640, 480), src(kind, 64, 64);
    Noise(dst.m, 1);
    Noise(src.m, 2);
    SetState(mode, 160);
    if (tinted) tessra::DrawState.brightness[1] = 100;
    const auto places = SpritePlaces({640 - 70, 480 - 70});
    size_t i = 0;
    for (auto _ : state) {
        const auto [x, y] = places[i++ % places.size()];
        const int corners[8] = {x + 3, y, x + 67, y + 2, x, y + 64, x + 64, y + 66};
        tessra::MemImgDrawQuad(&dst.m, &src.m, corners, 0, nullptr);
        benchmark::DoNotOptimize(dst.m.pixels);
    }
    state.SetItemsProcessed(state.iterations() * 64 * 64);
}

// Ellipses of radius 50: filled in mode 0 or 1 at 128, or the outline.
void OursCircle(benchmark::State& state, int kind, int mode, int fill) {
    OwnedImage dst(kind, 640, 480);
    Noise(dst.m, 1);
    SetState(mode, 128);
    // The figure's pixel count, from one draw on a black image.
    OwnedImage count(kind, 101, 101);
    std::memset(count.m.pixels, 0, size_t(count.m.pitch) * 101);
    SetState(0, 0);
    tessra::MemImgDrawCircle(&count.m, 50, 50, 50, 50, 0xFFFF, fill);
    int64_t pixels = 0;
    for (int y = 0; y < 101; ++y)
        for (int x = 0; x < 101 * (kind == 0 ? 2 : 4); x += kind == 0 ? 2 : 4)
            pixels += count.m.pixels[y * count.m.pitch + x] != 0;
    SetState(mode, 128);
    const auto places = SpritePlaces({640 - 100, 480 - 100});
    size_t i = 0;
    for (auto _ : state) {
        const auto [x, y] = places[i++ % places.size()];
        tessra::MemImgDrawCircle(&dst.m, x + 50, y + 50, 50, 50, 0x00C08040, fill);
        benchmark::DoNotOptimize(dst.m.pixels);
    }
    state.SetItemsProcessed(state.iterations() * pixels);
}

void RegisterMapped() {
    for (int kind = 0; kind < 2; ++kind) {
        const int bits = kind == 0 ? 16 : 32;
        const Size small{64, 64}, frame{640, 480};
        const char* rotNames[] = {"rotate30x1.5", "rotate30x1.5_alpha128", "rotate30x1.5_ppalpha"};
        for (int which = 0; which < 3; ++which) {
            benchmark::RegisterBenchmark(Name(rotNames[which], bits, small, "ours").c_str(),
                                         OursRotate, kind, which);
            if (kind == 1)
                benchmark::RegisterBenchmark(Name(rotNames[which], bits, small, "pixman").c_str(),
                                             PixRotate, which, 1, 64, 1.5f);
        }
        benchmark::RegisterBenchmark(Name("rotate_300_sprites", bits, frame, "ours").c_str(),
                                     OursRotateFrame, kind)
            ->Unit(benchmark::kMillisecond);
        if (kind == 1)
            benchmark::RegisterBenchmark(Name("rotate_300_sprites", bits, frame, "pixman").c_str(),
                                         PixRotate, 0, 300, 32, 1.0f)
                ->Unit(benchmark::kMillisecond);
        for (Size s : kSizes)
            benchmark::RegisterBenchmark(Name("quad_screen", bits, s, "ours").c_str(),
                                         OursScreenQuad, kind, s);
        const char* modeNames[] = {"none", "alpha160", "add160", "sub160", "multiply"};
        for (int mode = 0; mode < 5; ++mode)
            for (int tinted = 0; tinted < 2; ++tinted)
                benchmark::RegisterBenchmark(
                    Name((std::string("quad_") + modeNames[mode] + (tinted ? "_tinted" : ""))
                             .c_str(),
                         bits, small, "ours")
                        .c_str(),
                    OursQuads, kind, mode, tinted != 0);
        const Size ring{101, 101};
        benchmark::RegisterBenchmark(Name("circle50_fill", bits, ring, "ours").c_str(), OursCircle,
                                     kind, 0, 1);
        benchmark::RegisterBenchmark(Name("circle50_fill_alpha128", bits, ring, "ours").c_str(),
                                     OursCircle, kind, 1, 1);
        benchmark::RegisterBenchmark(Name("circle50_outline", bits, ring, "ours").c_str(),
                                     OursCircle, kind, 0, 0);
    }
}

class CompareReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> rate;  // megapixels per second by name
    // With --benchmark_repetitions the median is kept, else the single run.
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            auto it = r.counters.find("items_per_second");
            if (it == r.counters.end()) continue;
            const std::string name = r.run_name.str();
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") {
                rate[name] = it->second.value / 1e6;
                medians.insert(name);
            } else if (r.run_type == Run::RT_Iteration && !medians.count(name)) {
                rate[name] = it->second.value / 1e6;
            }
        }
    }
    std::set<std::string> medians;
    void PrintTable() const {
        std::printf("\n%-32s %12s %12s %8s %12s %8s\n", "case", "ours MP/s", "pixman MP/s", "ratio",
                    "memcpy MP/s", "ratio");
        for (const auto& [name, ours] : rate) {
            const auto cut = name.rfind("/ours");
            if (cut == std::string::npos) continue;
            const std::string base = name.substr(0, cut);
            // Every 32-bit case; a 16-bit one where pixman has its match.
            if (name.find("/32/") == std::string::npos && !rate.count(base + "/pixman")) continue;
            std::printf("%-32s %12.0f", base.c_str(), ours);
            auto p = rate.find(base + "/pixman");
            if (p == rate.end())
                std::printf(" %12s %8s", "-", "-");
            else
                std::printf(" %12.0f %8.2f", p->second, ours / p->second);
            // The copy is also measured against memcpy of the same buffers, its limit.
            auto m = rate.find(base + "/memcpy");
            if (m != rate.end()) std::printf(" %12.0f %8.2f", m->second, ours / m->second);
            std::printf("\n");
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    tessra::BuildSoftBlendTables();
    RegisterAll();
    RegisterMapped();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    CompareReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintTable();
    benchmark::Shutdown();
    return 0;
}
