// 1,000 keyed 32 x 32 sprites a frame through the public draw call (lock, front end, 2-D layer,
// software renderer or BltFast) against the same sprites blitted straight with MemImgBlit, in a
// window (memory-image screens) and full screen (DirectDraw surfaces). The ratio of the two is
// the drawing path's overhead. Full screen also on the 3-D device (texture graphs through the
// Direct3D stand-in's rasteriser), a game-like frame (sprites, stretched, rotated, fills,
// lines, ellipses) on both full-screen paths, and the end-to-end 3-D test's scene drawn and
// presented at 640x480 on both full-screen paths at 16 and 32 bits (frames per second).
#include <benchmark/benchmark.h>

#include <cstring>

#include "engine/d3d/d3d.h"
#include "engine/graphics/draw_front.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_image.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/graphics_core.h"
#include "engine/graphics/image_data.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"
#include "engine/screen/surface2d.h"
#include "engine/softrender/soft_render.h"
#include "engine/tessra.h"
#include "platform/testing.h"
#include "platform/win/window.h"
#include "tests/engine/d3d/scene_3d.h"

namespace {

constexpr int kSprites = 1000;

plat::LRESULT PlainProc(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                        plat::LPARAM lParam) {
    return plat::DefWindowProcA(window, message, wParam, lParam);
}

plat::HWND TheWindow() {
    static plat::HWND window = [] {
        plat::testing::UsePrivateInstanceLockKey();
        plat::WNDCLASSA c{};
        c.lpfnWndProc = PlainProc;
        c.lpszClassName = "DrawFrontBench";
        plat::RegisterClassA(&c);
        return plat::CreateWindowExA(0, "DrawFrontBench", "bench", plat::WS_POPUP, 0, 0, 640, 480,
                                     nullptr, nullptr, nullptr, nullptr);
    }();
    return window;
}

// A ball on the key colour: about a quarter of its pixels are transparent.
int MakeSprite() {
    tessra::GraphImage image{};
    tessra::AllocGraphImage(32, 32, &image);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            uint8_t* p = image.pixels + y * image.pitch + x * 3;
            const int dx = x - 16, dy = y - 16;
            const bool in = dx * dx + dy * dy < 15 * 15;
            p[0] = in ? uint8_t(90 + x * 4) : 0;  // blue, green, red
            p[1] = in ? uint8_t(60 + y * 5) : 0;
            p[2] = in ? 200 : 0;
        }
    const int graph = tessra::BuildGraphFromGraphImage(&image);
    tessra::FreeGraphImage(&image);
    return graph;
}

// mode: 0 window, 1 full screen, 2 full screen on the 3-D device.
bool StartScreens(int mode, int bits = 32) {
    const int fullScreen = mode != 0 ? 1 : 0;
    // The screens alone, without the engine core's window around them.
    tessra::SetScreenHost(nullptr);
    plat::testing::SetVirtualDesktop(1280, 1024, 32, 60);
    tessra::ResetScreenStateForTests();
    tessra::GetGraphicsCoreState().window = TheWindow();
    tessra::GetGraphicsCoreState().started = 0;
    tessra::SwitchWindowModeScreen(fullScreen);
    // Full screen sets Direct3D up unless 3-D is switched off.
    tessra::SetNo3DFlag(mode == 2 ? 0 : 1);
    tessra::ChangeResolution(640, 480, bits, -1);
    if (tessra::InitDirectDraw() != 0) return false;
    if ((tessra::GetDirect3DDevice() != nullptr) != (mode == 2)) return false;
    tessra::GetGraphicsCoreState().started = 0;
    if (tessra::InitGraphicsManagement() != 0) return false;
    tessra::DrawState.transColor = 0;
    return tessra::SetDrawTargetAndArea(tessra::kBackScreen) == 0;
}

// Positions spread over the screen, some partly off it.
void Position(int i, int* x, int* y) {
    *x = (i * 97) % 660 - 10;
    *y = (i * 61) % 500 - 10;
}

void Stop() {
    tessra::ShutdownGraphicsManagement();
    tessra::ShutdownDirectDraw();
    tessra::TerminateDirect3D();
}

// range(0): 0 window, 1 full screen, 2 full screen on the 3-D device.
void ThroughFrontEnd(benchmark::State& state) {
    if (!StartScreens(static_cast<int>(state.range(0)))) {
        state.SkipWithError("the screens did not start");
        return;
    }
    const int sprite = MakeSprite();
    if (PutGraph(0, 0, sprite, 1) != 0) {
        state.SkipWithError("the sprite cannot be drawn");
        return;
    }
    for (auto _ : state) {
        for (int i = 0; i < kSprites; ++i) {
            int x, y;
            Position(i, &x, &y);
            benchmark::DoNotOptimize(PutGraph(x, y, sprite, 1));
        }
        tessra::EndSceneCurrent();
    }
    state.SetItemsProcessed(state.iterations() * kSprites);
    tessra::ReleaseGraph(sprite, 0);
    Stop();
}

// One frame of a busy stage: a full-screen backdrop, 300 keyed sprites, 40 stretched and 40
// rotated ones, 30 alpha-blended, 60 fills and frames, 40 lines and 20 ellipses.
// range(0): 1 full screen, 2 full screen on the 3-D device.
void GameFrame(benchmark::State& state) {
    if (!StartScreens(static_cast<int>(state.range(0)))) {
        state.SkipWithError("the screens did not start");
        return;
    }
    const int sprite = MakeSprite();
    const uint32_t c1 = tessra::MakeScreenColor(200, 120, 40);
    const uint32_t c2 = tessra::MakeScreenColor(40, 200, 160);
    for (auto _ : state) {
        tessra::FillRectangle(0, 0, 640, 480, tessra::MakeScreenColor(20, 30, 60));
        for (int i = 0; i < 300; ++i) {
            int x, y;
            Position(i, &x, &y);
            tessra::DrawGraphAt(x, y, sprite, 1);
        }
        for (int i = 0; i < 40; ++i) {
            int x, y;
            Position(i + 300, &x, &y);
            tessra::DrawGraphStretched(x, y, x + 48, y + 40, sprite, 1);
            tessra::DrawGraphRotated(float(x + 20), float(y + 20), 1.2, i * 0.15, sprite, 1, 0);
        }
        tessra::StoreBlendModeAndParam(tessra::kBlendAlpha, 160);
        for (int i = 0; i < 30; ++i) {
            int x, y;
            Position(i + 400, &x, &y);
            tessra::DrawGraphAt(x, y, sprite, 1);
        }
        tessra::StoreBlendModeAndParam(tessra::kBlendNone, 0);
        for (int i = 0; i < 30; ++i) {
            int x, y;
            Position(i + 500, &x, &y);
            tessra::FillRectangle(x, y, x + 30, y + 12, c1);
            tessra::FrameRectangle(x, y, x + 34, y + 16, c2);
        }
        for (int i = 0; i < 40; ++i) {
            int x, y;
            Position(i + 600, &x, &y);
            tessra::DrawLineClipped(x, y, x + 60, y + (i % 7) * 5, c2);
        }
        for (int i = 0; i < 20; ++i) {
            int x, y;
            Position(i + 700, &x, &y);
            tessra::DrawOvalInBounds(x, y, 12 + i % 9, 8 + i % 5, c1, i % 2);
        }
        tessra::EndSceneCurrent();
    }
    state.SetItemsProcessed(state.iterations());
    tessra::ReleaseGraph(sprite, 0);
    Stop();
}

// The end-to-end 3-D test's scene, drawn and presented without waiting for the vertical blank.
// range(0): 1 full screen, 2 full screen on the 3-D device; range(1): bits a pixel.
void SceneFrame(benchmark::State& state) {
    if (!StartScreens(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)))) {
        state.SkipWithError("the screens did not start");
        return;
    }
    tessra::StoreVsyncWaitFlag(0);
    const int sprite = tessra::scene3d::MakeSprite();
    for (auto _ : state) {
        tessra::ClearDrawTargetAndRepaint();
        tessra::scene3d::Draw(sprite);
        tessra::PresentBackBuffer();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    tessra::ReleaseGraph(sprite, 0);
    Stop();
}

// The same sprites straight from a memory image into a screen-sized memory image.
void StraightMemImgBlit(benchmark::State& state) {
    if (!StartScreens(0)) {
        state.SkipWithError("the screens did not start");
        return;
    }
    const int sprite = MakeSprite();
    const tessra::GraphRecord* g = tessra::GetGraphRecord(sprite);
    const tessra::Surface2DRecord* tile = tessra::FirstSurfaceOf(g);
    tessra::MEMIMG* src = &tessra::GetImageDataRecord(tile->imageData)->memImg;
    tessra::MEMIMG* dest = &tessra::GetScreenState().backImage;
    for (auto _ : state) {
        for (int i = 0; i < kSprites; ++i) {
            int x, y;
            Position(i, &x, &y);
            tessra::MemImgBlit(dest, src, x, y, 1, nullptr);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSprites);
    tessra::ReleaseGraph(sprite, 0);
    Stop();
}

BENCHMARK(ThroughFrontEnd)
    ->ArgNames({"full"})
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(GameFrame)->ArgNames({"full"})->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(SceneFrame)
    ->ArgNames({"full", "bits"})
    ->ArgsProduct({{1, 2}, {16, 32}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(StraightMemImgBlit)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
