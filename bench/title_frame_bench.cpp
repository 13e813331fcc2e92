// The title screen's frame on the real engine under the dummy drivers: the CPU time of one frame
// (object walk, draw-list flush, present) at a chosen screen size, and frame pacing's deviation
// from its 16/17 ms steps over 600 frames in timer mode, on the real clock.
//
//     bench_title_frame [--size=WxH] [benchmark flags]
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/input.h"
#include "game/core/main_loop.h"
#include "game/core/object_pool.h"
#include "game/core/startup.h"
#include "game/core/tween.h"
#include "platform/testing.h"

namespace {

int g_width = 640;
int g_height = 480;
bool g_started = false;

int SizeRow(int w, int h) {
    for (int i = 0; i < velmora::kWindowSizeCount; ++i)
        if (velmora::kWindowSizes[i].width == w && velmora::kWindowSizes[i].height == h) return i;
    return 1;
}

// A run folder of its own with the built data and windowed settings, then the game's start-up.
bool StartGame() {
    if (g_started) return true;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bench_title_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "userdata");
    std::filesystem::create_directory_symlink(std::filesystem::path(GAME_RUN_DIR) / "dat",
                                              dir / "dat");
    if (chdir(dir.c_str()) != 0) return false;
    plat::testing::UsePrivateInstanceLockKey();
    plat::testing::SetVirtualDesktop(2560, 1440, 32);
    velmora::ResetConfig();
    velmora::SetConfigVar(velmora::kCfgScreenMode, 2);
    velmora::SetConfigVar(velmora::kCfgWindowSize, SizeRow(g_width, g_height));
    velmora::SetConfigVar(velmora::kCfgPacing, 1);
    velmora::SetConfigVar(velmora::kConfigValidWord, velmora::kConfigValidMarker);
    velmora::SaveConfig();
    if (velmora::InitGame() != 0 || !velmora::LoadAllResources()) return false;
    velmora::SetUpScene(0);
    g_started = true;
    return true;
}

void TitleFrame(benchmark::State& state) {
    if (!StartGame()) {
        state.SkipWithError("the game did not start");
        return;
    }
    for (auto _ : state) {
        velmora::ResetDrawList();
        velmora::PollButtons();
        velmora::UpdateObjects();
        velmora::RunTweens();
        velmora::FlushDrawList();
        PresentFrame();
    }
    state.SetLabel(std::to_string(g_width) + "x" + std::to_string(g_height));
}
BENCHMARK(TitleFrame)->Unit(benchmark::kMicrosecond)->MinWarmUpTime(0.2);

// 600 paced frames; the deviation of each frame's length from the step it aimed at.
void TimerPacing(benchmark::State& state) {
    if (!StartGame()) {
        state.SkipWithError("the game did not start");
        return;
    }
    for (auto _ : state) {
        std::vector<double> deviation;
        velmora::ResetFrameTimer();
        velmora::WaitNextFrame(16);
        uint64_t last = GetTimeMs();
        for (int i = 0; i < 600; ++i) {
            const int step = i % 3 == 0 ? 16 : 17;
            velmora::ResetDrawList();
            velmora::UpdateObjects();
            velmora::FlushDrawList();
            velmora::WaitNextFrame(step);
            const uint64_t now = GetTimeMs();
            deviation.push_back(std::abs(static_cast<double>(now - last) - step));
            last = now;
        }
        std::sort(deviation.begin(), deviation.end());
        state.counters["p50_ms"] = deviation[deviation.size() / 2];
        state.counters["p99_ms"] = deviation[deviation.size() * 99 / 100];
    }
}
BENCHMARK(TimerPacing)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--size=", 7) == 0) {
            std::sscanf(argv[i] + 7, "%dx%d", &g_width, &g_height);
            continue;
        }
        args.push_back(argv[i]);
    }
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks();
    if (g_started) velmora::ShutdownGame();
    benchmark::Shutdown();
    return 0;
}
