// Throughput of the software renderer's blits, stretches and fills at 640x480 and 1920x1080,
// both pixel kinds. The 32-bit cases also run the matching pixman operation in the same run
// (and the copy memcpy of the same buffers, its limit), and a table of the rates and their
// ratios is printed at the end.
#include <benchmark/benchmark.h>
#include <pixman.h>

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

void PixFill(benchmark::State& state, Size s) {
    PixImage dst(PIXMAN_x8r8g8b8, s.w, s.h, 1);
    for (auto _ : state) {
        pixman_fill(dst.bits.data(), s.w, 32, 0, 0, s.w, s.h, 0x00336699);
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
            benchmark::RegisterBenchmark(Name("fill", bits, s, "ours").c_str(), OursFill, kind, s);
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
                benchmark::RegisterBenchmark(Name("fill", bits, s, "pixman").c_str(), PixFill, s);
            }
        }
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
        std::printf("\n%-32s %12s %12s %8s %12s %8s\n", "32-bit case", "ours MP/s", "pixman MP/s",
                    "ratio", "memcpy MP/s", "ratio");
        for (const auto& [name, ours] : rate) {
            const auto cut = name.rfind("/ours");
            if (cut == std::string::npos || name.find("/32/") == std::string::npos) continue;
            const std::string base = name.substr(0, cut);
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
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    CompareReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintTable();
    benchmark::Shutdown();
    return 0;
}
