// Presenting a whole back screen on each path: a window whose back image lives in the back
// surface, a window whose back image is converted (16-bit drawing on a 32-bit desktop), and a
// full-screen flip. Headless, so a present ends with the copy into the presenter's picture.
#include <benchmark/benchmark.h>

#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"
#include "platform/testing.h"
#include "platform/win/window.h"

namespace {

plat::LRESULT PlainProc(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                        plat::LPARAM lParam) {
    return plat::DefWindowProcA(window, message, wParam, lParam);
}

plat::HWND TheWindow() {
    static plat::HWND window = [] {
        plat::testing::UsePrivateInstanceLockKey();
        plat::WNDCLASSA c{};
        c.lpfnWndProc = PlainProc;
        c.lpszClassName = "ScreenPresentBench";
        plat::RegisterClassA(&c);
        return plat::CreateWindowExA(0, "ScreenPresentBench", "bench", plat::WS_POPUP, 0, 0, 640,
                                     480, nullptr, nullptr, nullptr, nullptr);
    }();
    return window;
}

// range(0): 0 window with the image in the back surface, 1 window converted, 2 full-screen flip.
void Present(benchmark::State& state) {
    const int path = static_cast<int>(state.range(0));
    const int width = static_cast<int>(state.range(1));
    const int height = static_cast<int>(state.range(2));
    plat::testing::SetVirtualDesktop(2560, 1440, 32, 60);
    tessra::ResetScreenStateForTests();
    tessra::GetGraphicsCoreState().window = TheWindow();
    tessra::SwitchWindowModeScreen(path == 2 ? 1 : 0);
    tessra::ChangeResolution(width, height, path == 1 ? 16 : 32, -1);
    if (tessra::InitDirectDraw() != 0) {
        state.SkipWithError("the screens did not start");
        return;
    }
    tessra::StoreVsyncWaitFlag(0);
    tessra::DrawState.drawTarget = tessra::kBackScreen;
    for (auto _ : state) benchmark::DoNotOptimize(tessra::PresentBackBuffer());
    state.SetItemsProcessed(state.iterations());
    tessra::ShutdownDirectDraw();
}

BENCHMARK(Present)
    ->ArgNames({"path", "w", "h"})
    ->Args({0, 640, 480})
    ->Args({1, 640, 480})
    ->Args({2, 640, 480})
    ->Args({0, 1920, 1080})
    ->Args({1, 1920, 1080})
    ->Args({2, 1920, 1080})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
