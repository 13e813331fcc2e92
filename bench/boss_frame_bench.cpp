// The boss area's busiest frames: the two burning rows (frames 120-169 of its row attack, a
// hundred blasts and two crossing sprites), the marked targets of its last attack (180 frames)
// and the swing with all sixteen satellites out and its orbit sparks drawn. Each is measured
// as the object walk with its tweens, and with the draw list flushed and the frame presented
// at 640 x 480. An iteration is the whole run of frames (50, 180 and 60), so its time is not
// one frame's: the counter "per_frame" is the time of one frame, and "of_frame" its share of
// 16.7 ms (shown with the unit "s": 0.05s is 5 % of a frame).
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
#include "game/play/large_enemies.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "platform/testing.h"

namespace {

namespace fs = std::filesystem;
using namespace velmora;

bool g_started = false;

bool StartGame() {
    if (g_started) return true;
    plat::testing::Reset();
    plat::testing::UsePrivateInstanceLockKey();
    plat::testing::SetVirtualDesktop(1920, 1080, 32);
    const fs::path dir =
        fs::temp_directory_path() / ("velmora_boss_bench_" + std::to_string(getpid()));
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
    for (int f = 0; f < 60; ++f) {
        ResetDrawList();
        UpdateObjects();
        RunTweens();
    }
    g_started = true;
    return GetGameVar(kGameVarPhase) == 5;
}

int g_boss = -1;

// One frame of play; the boss runs through the class routine when one is installed.
void Frame(bool present) {
    ResetDrawList();
    UpdateObjects();
    if (!ClassRoutineTable[3] && g_boss > 0) UpdateBoss(g_boss);
    RunTweens();
    if (present) {
        RenderQueuedFrame();
        PresentFrame();
    }
    // The player must stay in play while it is measured.
    SetGameVar(kGameVarPhase, 5);
    SetGameVar(120, 6000);
    SetPlayerField(0, kPropInvincible, 1000);
    SetPlayerField(0, kPropHp, 1000);
}

// A fresh boss in `state` at frame `t`, the blasts and sparks of the last run gone.
void SetUpBoss(int32_t state, int32_t t) {
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s) {
        const int32_t kind = GetField(kPropKind, s);
        if (kind == 0x2000000f || (kind & 0x70000000) == 0x60000000 ||
            (kind & 0x70000000) == 0x30000000)
            FreeObject(s);
    }
    g_boss = SpawnStageObject(320, 80, 9, 14);
    SetField(kPropAge, g_boss, 1000);
    SetField(kPropHp, g_boss, 100000);
    SetField(kPropEnemyState, g_boss, state);
    SetField(kPropEnemyStateTime, g_boss, t);
    SetField(37, g_boss, 0 * 16 + 2);  // rows 0 and 2
}

void Run(benchmark::State& state, int32_t bossState, int32_t from, int frames, int warm,
         bool present) {
    if (!StartGame()) {
        state.SkipWithError("the game did not start");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        SetUpBoss(bossState, from - warm);
        for (int f = 0; f < warm; ++f) Frame(false);
        state.ResumeTiming();
        for (int f = 0; f < frames; ++f) Frame(present);
    }
    state.counters["objects"] = GetLiveObjectCount();
    state.counters["per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * frames,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["of_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * frames * 16.7e-3,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_BossRows(benchmark::State& s) {
    Run(s, 16, 120, 50, 0, false);
}
void BM_BossRowsFlushPresent(benchmark::State& s) {
    Run(s, 16, 120, 50, 0, true);
}
void BM_BossTargets(benchmark::State& s) {
    Run(s, 24, 0, 180, 0, false);
}
void BM_BossTargetsFlushPresent(benchmark::State& s) {
    Run(s, 24, 0, 180, 0, true);
}
// From frame 97 of the swing all sixteen child slots hold a satellite.
void BM_BossSixteenSatellites(benchmark::State& s) {
    Run(s, 20, 100, 60, 100, false);
}
void BM_BossSixteenSatellitesFlushPresent(benchmark::State& s) {
    Run(s, 20, 100, 60, 100, true);
}

BENCHMARK(BM_BossRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BossRowsFlushPresent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BossTargets)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BossTargetsFlushPresent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BossSixteenSatellites)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BossSixteenSatellitesFlushPresent)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
