// A play frame of the first stage and of a crowded one (the pool nearly full of blasts and
// sparks): the object walk with its tweens alone, and with the draw list flushed and the frame
// presented at 640 x 480. The counter "of_frame" is the share of a 16.7 ms frame (shown with
// the unit "s": 0.05s is 5 % of a frame).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "engine/tessra.h"
#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/main_loop.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/core/startup.h"
#include "game/core/tween.h"
#include "game/play/combat.h"
#include "game/play/game_flow.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "platform/testing.h"

namespace {

namespace fs = std::filesystem;
using namespace velmora;

bool g_started = false;

// The game started once in a run folder of its own, with the built data and plain settings,
// then a new game on stage 0 brought into play.
bool StartGame() {
    if (g_started) return true;
    plat::testing::Reset();
    plat::testing::UsePrivateInstanceLockKey();
    plat::testing::SetVirtualDesktop(1920, 1080, 32);
    const fs::path dir = fs::temp_directory_path() / ("velmora_bench_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "userdata");
    fs::create_directory_symlink(fs::path(GAME_RUN_DIR) / "dat", dir / "dat");
    if (chdir(dir.c_str()) != 0) return false;
    ResetConfig();
    SetConfigVar(kCfgScreenMode, 2);
    SetConfigVar(kCfgWindowSize, 1);
    SetConfigVar(kConfigValidWord, kConfigValidMarker);
    SaveConfig();
    if (InitGame() != 0 || !LoadAllResources()) return false;
    SetConfigVar(kCfgStartStage, 0);
    SetConfigVar(kCfgDifficulty, 1);
    if (SetUpScene(kSceneNewGame) < 0) return false;
    // Stage start and the iris: into play.
    for (int f = 0; f < 60; ++f) {
        ResetDrawList();
        UpdateObjects();
        RunTweens();
    }
    g_started = true;
    return GetGameVar(kGameVarPhase) == 5;
}

void Crowd() {
    int32_t x, y;
    GetPlayerPosition(0, &x, &y);
    // Blasts and sparks until the pool is nearly full; blasts end after 32 frames, so the crowd
    // is made again each frame that needs it.
    for (int k = 0; GetLiveObjectCount() < kPoolSlots - 100 && k < 2000; ++k) {
        if (k % 2 == 0)
            SpawnBlast(x + (k * 37) % 600 - 300, y + (k * 53) % 400 - 200, 1 + k % 2, k % 20);
        else
            SpawnSpark(x, y, 20, 0x2000380, (k * 7919) % 216000, 256, 1000);
    }
}

void PlayFrame(benchmark::State& state, bool crowded, bool present) {
    if (!StartGame()) {
        state.SkipWithError("the game did not start");
        return;
    }
    for (auto _ : state) {
        if (crowded) {
            state.PauseTiming();
            Crowd();
            state.ResumeTiming();
        }
        ResetDrawList();
        UpdateObjects();
        RunTweens();
        if (present) {
            RenderQueuedFrame();
            PresentFrame();
        }
        // The stage must stay in play while it is measured.
        if (GetGameVar(kGameVarPhase) != 5) SetGameVar(kGameVarPhase, 5);
        SetGameVar(120, 6000);
    }
    state.counters["objects"] = GetLiveObjectCount();
    state.counters["of_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 16.7e-3,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_StageUpdate(benchmark::State& s) {
    PlayFrame(s, false, false);
}
void BM_StageUpdateFlushPresent(benchmark::State& s) {
    PlayFrame(s, false, true);
}
void BM_CrowdedUpdate(benchmark::State& s) {
    PlayFrame(s, true, false);
}
void BM_CrowdedUpdateFlushPresent(benchmark::State& s) {
    PlayFrame(s, true, true);
}

BENCHMARK(BM_StageUpdate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StageUpdateFlushPresent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrowdedUpdate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrowdedUpdateFlushPresent)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
