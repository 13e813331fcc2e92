// The DirectDraw stand-in: presenting a flipped frame through the presenter, and full-screen
// surface copies (Blt, BltFast with a colour key) beside a memcpy of the same bytes.
//
// Headless (SDL's dummy driver) a present is the copy into the presenter's picture; under a
// display it is that copy plus the texture upload and the SDL present.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "platform/ddraw/ddraw.h"
#include "platform/testing.h"
#include "platform/win/messages.h"
#include "platform/win/window.h"

namespace {

using namespace plat;

LRESULT Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND BenchWindow() {
    static HWND window = [] {
        testing::UsePrivateInstanceLockKey();
        testing::SetVirtualDesktop(1920, 1200, 32, 60);
        WNDCLASSA c{};
        c.lpfnWndProc = Proc;
        c.lpszClassName = "DDrawBench";
        RegisterClassA(&c);
        return CreateWindowExA(0, "DDrawBench", "bench", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr,
                               nullptr, nullptr);
    }();
    return window;
}

DirectDraw* NewObject() {
    DirectDraw* dd = nullptr;
    CreateDirectDraw7(&dd);
    dd->Initialize(nullptr);
    return dd;
}

DirectDrawSurface* Plain(DirectDraw* dd, int w, int h) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = static_cast<DWORD>(w);
    d.dwHeight = static_cast<DWORD>(h);
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    DirectDrawSurface* s = nullptr;
    dd->CreateSurface(&d, &s, nullptr);
    return s;
}

void Present(benchmark::State& state) {
    const DWORD w = static_cast<DWORD>(state.range(0)), h = static_cast<DWORD>(state.range(1));
    const DWORD bits = static_cast<DWORD>(state.range(2));
    HWND window = BenchWindow();
    DirectDraw* dd = NewObject();
    dd->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE);
    if (DDFailed(dd->SetDisplayMode(w, h, bits, 0, 0))) {
        state.SkipWithError("mode refused");
        dd->Release();
        return;
    }
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    d.dwBackBufferCount = 1;
    DirectDrawSurface* front = nullptr;
    dd->CreateSurface(&d, &front, nullptr);
    for (auto _ : state) {
        front->Flip(nullptr, DDFLIP_NOVSYNC);
    }
    state.SetItemsProcessed(state.iterations());  // frames
    state.SetBytesProcessed(state.iterations() * w * h * (bits / 8));
    front->Release();
    dd->SetCooperativeLevel(window, DDSCL_NORMAL);
    dd->Release();
}
BENCHMARK(Present)
    ->ArgNames({"w", "h", "bits"})
    ->Args({640, 480, 16})
    ->Args({640, 480, 32})
    ->Args({1920, 1080, 16})
    ->Args({1920, 1080, 32})
    ->Unit(benchmark::kMicrosecond);

// Full-screen copies at 640 x 480 x 32.
constexpr int kW = 640, kH = 480;

void CopyBlt(benchmark::State& state) {
    DirectDraw* dd = NewObject();
    DirectDrawSurface* a = Plain(dd, kW, kH);
    DirectDrawSurface* b = Plain(dd, kW, kH);
    for (auto _ : state) a->Blt(nullptr, b, nullptr, DDBLT_WAIT, nullptr);
    state.SetBytesProcessed(state.iterations() * kW * kH * 4);
    a->Release();
    b->Release();
    dd->Release();
}
BENCHMARK(CopyBlt)->Unit(benchmark::kMicrosecond);

void CopyBltFastKeyed(benchmark::State& state) {
    DirectDraw* dd = NewObject();
    DirectDrawSurface* a = Plain(dd, kW, kH);
    DirectDrawSurface* b = Plain(dd, kW, kH);
    // A sprite-like source: about a third of the pixels are the key.
    std::mt19937 rng(7);
    for (int y = 0; y < kH; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(b->Bits() + static_cast<int64_t>(y) * b->Pitch());
        for (int x = 0; x < kW; ++x) row[x] = (rng() % 3 == 0) ? 0u : (rng() & 0xFFFFFF);
    }
    DDCOLORKEY key{0, 0};
    b->SetColorKey(DDCKEY_SRCBLT, &key);
    for (auto _ : state) a->BltFast(0, 0, b, nullptr, DDBLTFAST_SRCCOLORKEY);
    state.SetBytesProcessed(state.iterations() * kW * kH * 4);
    a->Release();
    b->Release();
    dd->Release();
}
BENCHMARK(CopyBltFastKeyed)->Unit(benchmark::kMicrosecond);

void CopyMemcpy(benchmark::State& state) {
    std::vector<uint8_t> a(static_cast<size_t>(kW) * kH * 4), b(a.size(), 1);
    for (auto _ : state) {
        std::memcpy(a.data(), b.data(), a.size());
        benchmark::DoNotOptimize(a.data());
    }
    state.SetBytesProcessed(state.iterations() * kW * kH * 4);
}
BENCHMARK(CopyMemcpy)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
