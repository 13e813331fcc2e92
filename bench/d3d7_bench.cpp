// The Direct3D stand-in's rasteriser beside the software renderer's matching blits, in one run:
// a screen-filling textured quad, 1,000 alpha-blended, colour-keyed and additive 32 x 32
// sprites, a linear stretch x2, and a frame of one full-screen quad plus 300 alpha sprites.
// "items" are quads (sprites or whole-screen copies); the Mpix/s counter counts drawn pixels.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "engine/graphics/draw_state.h"
#include "engine/screen/memimg.h"
#include "engine/softrender/soft_render.h"
#include "platform/d3d7/d3d7.h"
#include "platform/ddraw/ddraw.h"
#include "platform/testing.h"

namespace {

using namespace plat;

struct Size {
    int w, h;
};

struct V1 {
    float x, y, z, rhw;
    uint32_t diffuse;
    float u, v;
};
constexpr DWORD kFvf1 = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

std::vector<std::pair<int, int>> Places(Size s, int n) {
    std::mt19937 rng(7);
    std::vector<std::pair<int, int>> v;
    for (int i = 0; i < n; ++i) {
        v.push_back({static_cast<int>(rng() % static_cast<unsigned>(s.w - 32)),
                     static_cast<int>(rng() % static_cast<unsigned>(s.h - 32))});
    }
    return v;
}

void Quad(std::vector<V1>& out, float x1, float y1, float x2, float y2) {
    const V1 a{x1, y1, 0, 1, 0xFFFFFFFF, 0, 0}, b{x2, y1, 0, 1, 0xFFFFFFFF, 1, 0};
    const V1 c{x1, y2, 0, 1, 0xFFFFFFFF, 0, 1}, d{x2, y2, 0, 1, 0xFFFFFFFF, 1, 1};
    out.insert(out.end(), {a, b, c, b, d, c});
}

// A device on an off-screen target, with the texture states of one textured stage.
struct Rig {
    DirectDraw* dd = nullptr;
    Direct3D* d3d = nullptr;
    Direct3DDevice* dev = nullptr;
    DirectDrawSurface* target = nullptr;
    std::vector<DirectDrawSurface*> textures;

    Rig(Size s, int bits) {
        testing::Reset();
        CreateDirectDraw7(&dd);
        dd->Initialize(nullptr);
        void* out = nullptr;
        dd->QueryInterface(IID_IDirect3D7, &out);
        d3d = static_cast<Direct3D*>(out);
        target = Make(s.w, s.h, bits == 16 ? kPixelFormat565 : kPixelFormatXrgb32,
                      DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
        d3d->CreateDevice(IID_IDirect3DTnLHalDevice, target, &dev);
        dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    }
    ~Rig() {
        dev->Release();
        for (DirectDrawSurface* t : textures) t->Release();
        target->Release();
        d3d->Release();
        dd->Release();
    }
    DirectDrawSurface* Make(int w, int h, const DDPixelFormat& f, DWORD caps) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        d.ddpfPixelFormat = f;
        d.ddsCaps.dwCaps = caps;
        DirectDrawSurface* s = nullptr;
        dd->CreateSurface(&d, &s, nullptr);
        return s;
    }
    DirectDrawSurface* Texture(int w, int h, const DDPixelFormat& f, uint32_t seed) {
        DirectDrawSurface* t = Make(w, h, f, DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY);
        std::mt19937 rng(seed);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w * t->BytesPerPixel(); ++x) {
                t->Bits()[y * t->Pitch() + x] = static_cast<uint8_t>(rng());
            }
        }
        textures.push_back(t);
        return t;
    }
    void Draw(const std::vector<V1>& v) {
        dev->BeginScene();
        dev->DrawPrimitive(D3DPT_TRIANGLELIST, kFvf1, v.data(), static_cast<DWORD>(v.size()), 0);
        dev->EndScene();
    }
};

// A round sprite texture: the alpha falls off at the rim; for keyed sprites the outside holds
// the key.
DirectDrawSurface* SpriteTexture(Rig& rig, const DDPixelFormat& f, bool keyed) {
    DirectDrawSurface* t = rig.Texture(32, 32, f, 5);
    const ChannelMask a = DescribeChannel(f.alphaMask);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const int dx = 2 * x - 31, dy = 2 * y - 31, r2 = dx * dx + dy * dy;
            uint8_t* p = t->Bits() + y * t->Pitch() + x * t->BytesPerPixel();
            uint32_t v = ReadPixelBytes(p, t->BytesPerPixel());
            if (keyed) {
                if (r2 > 32 * 32)
                    v = 0;
                else if (v == 0)
                    v = 1;
            } else if (a.width != 0) {
                const uint32_t alpha =
                    r2 > 32 * 32 ? 0 : (r2 < 24 * 24 ? 255 : 255 - (r2 - 576) * 255 / 448);
                v = (v & ~f.alphaMask) | ChannelFrom8(alpha, a);
            }
            WritePixelBytes(p, t->BytesPerPixel(), v);
        }
    }
    if (keyed) {
        const DDCOLORKEY key{0, 0};
        t->SetColorKey(DDCKEY_SRCBLT, &key);
    }
    return t;
}

void Count(benchmark::State& state, int64_t quads, int64_t pixelsPerIteration) {
    state.SetItemsProcessed(state.iterations() * quads);
    state.counters["Mpix/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * pixelsPerIteration) / 1e6,
                           benchmark::Counter::kIsRate);
}

void D3dQuad(benchmark::State& state, Size s, int bits) {
    Rig rig(s, bits);
    rig.dev->SetTexture(0, rig.Texture(s.w, s.h, rig.target->Format(), 2));
    std::vector<V1> v;
    Quad(v, 0, 0, static_cast<float>(s.w), static_cast<float>(s.h));
    for (auto _ : state) rig.Draw(v);
    Count(state, 1, int64_t{s.w} * s.h);
}

enum SpriteKind { kAlphaSprites, kKeyedSprites, kAddSprites };

void D3dSprites(benchmark::State& state, Size s, int bits, SpriteKind kind, int count,
                bool withQuad) {
    Rig rig(s, bits);
    const DDPixelFormat f = kind == kAlphaSprites
                                ? (bits == 16 ? kPixelFormatArgb4444 : kPixelFormatArgb32)
                                : rig.target->Format();
    DirectDrawSurface* sprite = SpriteTexture(rig, f, kind == kKeyedSprites);
    DirectDrawSurface* back = withQuad ? rig.Texture(s.w, s.h, rig.target->Format(), 2) : nullptr;
    std::vector<V1> quad, sprites;
    Quad(quad, 0, 0, static_cast<float>(s.w), static_cast<float>(s.h));
    for (auto [x, y] : Places(s, count)) {
        Quad(sprites, static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + 32),
             static_cast<float>(y + 32));
    }
    for (auto _ : state) {
        rig.dev->BeginScene();
        if (back != nullptr) {
            rig.dev->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
            rig.dev->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 0);
            rig.dev->SetTexture(0, back);
            rig.dev->DrawPrimitive(D3DPT_TRIANGLELIST, kFvf1, quad.data(), 6, 0);
        }
        rig.dev->SetTexture(0, sprite);
        rig.dev->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, kind == kKeyedSprites);
        rig.dev->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, kind != kKeyedSprites);
        rig.dev->SetRenderState(D3DRENDERSTATE_SRCBLEND,
                                kind == kAlphaSprites ? D3DBLEND_SRCALPHA : D3DBLEND_ONE);
        rig.dev->SetRenderState(D3DRENDERSTATE_DESTBLEND,
                                kind == kAlphaSprites ? D3DBLEND_INVSRCALPHA : D3DBLEND_ONE);
        rig.dev->DrawPrimitive(D3DPT_TRIANGLELIST, kFvf1, sprites.data(),
                               static_cast<DWORD>(sprites.size()), 0);
        rig.dev->EndScene();
    }
    Count(state, count + (withQuad ? 1 : 0),
          int64_t{count} * 32 * 32 + (withQuad ? int64_t{s.w} * s.h : 0));
}

void D3dStretch(benchmark::State& state, Size s, int bits) {
    Rig rig(s, bits);
    rig.dev->SetTexture(0, rig.Texture(s.w / 2, s.h / 2, rig.target->Format(), 2));
    rig.dev->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    rig.dev->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    std::vector<V1> v;
    Quad(v, 0, 0, static_cast<float>(s.w), static_cast<float>(s.h));
    for (auto _ : state) rig.Draw(v);
    Count(state, 1, int64_t{s.w} * s.h);
}

// --- the software renderer ---------------------------------------------------------------------

using tessra::MEMIMG;

struct OwnedImage {
    MEMIMG m{};
    OwnedImage(int kind, int w, int h, int buffers = 0, uint32_t key = 0, int alpha = 0) {
        tessra::InitMemImg(&m, w, h, -1, key, kind, 0, alpha, buffers);
        std::mt19937 rng(static_cast<uint32_t>(w * 31 + h));
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w * (kind == 0 ? 2 : 4); ++x) {
                m.pixels[y * m.pitch + x] = static_cast<uint8_t>(rng());
            }
        }
    }
    ~OwnedImage() { tessra::ReleaseMemImg(&m); }
};

void SoftState(int mode, int param) {
    tessra::DrawState.blendMode = mode;
    tessra::DrawState.blendParam = param;
    tessra::DrawState.brightness[0] = tessra::DrawState.brightness[1] =
        tessra::DrawState.brightness[2] = 255;
    tessra::DrawState.DrawArea = {0, 0, 1 << 16, 1 << 16};
    tessra::DrawState.maskActive = 0;
    tessra::MmxAvailable = 1;
}

void SoftQuad(benchmark::State& state, Size s, int bits) {
    const int kind = bits == 16 ? 0 : 1;
    OwnedImage dst(kind, s.w, s.h), src(kind, s.w, s.h);
    SoftState(0, 0);
    for (auto _ : state) {
        tessra::MemImgBlit(&dst.m, &src.m, 0, 0, 0, nullptr);
        benchmark::DoNotOptimize(dst.m.pixels);
    }
    Count(state, 1, int64_t{s.w} * s.h);
}

void SoftSprites(benchmark::State& state, Size s, int bits, SpriteKind kind) {
    const int k = bits == 16 ? 0 : 1;
    const bool alpha = kind == kAlphaSprites;
    OwnedImage dst(k, s.w, s.h), spr(k, 32, 32, 0, k == 0 ? 0xF81F : 0x00FF00FF, alpha ? 1 : 0);
    if (alpha && k == 1) {
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const int dx = 2 * x - 31, dy = 2 * y - 31, r2 = dx * dx + dy * dy;
                spr.m.pixels[y * spr.m.pitch + 4 * x + 3] = static_cast<uint8_t>(
                    r2 > 32 * 32 ? 0 : (r2 < 24 * 24 ? 255 : 255 - (r2 - 576) * 255 / 448));
            }
        }
    }
    SoftState(kind == kAddSprites ? 2 : 0, kind == kAddSprites ? 255 : 0);
    const auto places = Places(s, 1000);
    for (auto _ : state) {
        for (auto [x, y] : places) tessra::MemImgBlit(&dst.m, &spr.m, x, y, 1, nullptr);
        benchmark::DoNotOptimize(dst.m.pixels);
    }
    Count(state, 1000, int64_t{1000} * 32 * 32);
}

void SoftStretch(benchmark::State& state, Size s, int bits) {
    const int kind = bits == 16 ? 0 : 1;
    OwnedImage dst(kind, s.w, s.h), src(kind, s.w / 2, s.h / 2);
    SoftState(0, 0);
    const tessra::Rect r{0, 0, s.w, s.h};
    for (auto _ : state) {
        tessra::MemImgStretchBlit(&dst.m, &src.m, &r, 0, nullptr);
        benchmark::DoNotOptimize(dst.m.pixels);
    }
    Count(state, 1, int64_t{s.w} * s.h);
}

void Register() {
    const Size sizes[] = {{640, 480}, {1920, 1080}};
    for (Size s : sizes) {
        for (int bits : {16, 32}) {
            const std::string tail =
                "/" + std::to_string(bits) + "/" + std::to_string(s.w) + "x" + std::to_string(s.h);
            benchmark::RegisterBenchmark(("d3d_quad" + tail).c_str(), D3dQuad, s, bits);
            benchmark::RegisterBenchmark(("soft_quad" + tail).c_str(), SoftQuad, s, bits);
            const char* names[] = {"alpha_sprites", "keyed_sprites", "add_sprites"};
            for (SpriteKind k : {kAlphaSprites, kKeyedSprites, kAddSprites}) {
                benchmark::RegisterBenchmark(("d3d_" + std::string(names[k]) + tail).c_str(),
                                             D3dSprites, s, bits, k, 1000, false);
                benchmark::RegisterBenchmark(("soft_" + std::string(names[k]) + tail).c_str(),
                                             SoftSprites, s, bits, k);
            }
            benchmark::RegisterBenchmark(("d3d_stretch2_linear" + tail).c_str(), D3dStretch, s,
                                         bits);
            benchmark::RegisterBenchmark(("soft_stretch2" + tail).c_str(), SoftStretch, s, bits);
            benchmark::RegisterBenchmark(("d3d_frame_quad_300_alpha" + tail).c_str(), D3dSprites, s,
                                         bits, kAlphaSprites, 300, true);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
