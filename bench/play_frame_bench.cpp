// A play frame of the first stage and of a crowded one (the pool nearly full of blasts and
// sparks): the object walk with its tweens alone, and with the draw list flushed and the frame
// presented at 640 x 480. Then the object walk alone over the stage objects of the busiest
// built-in area, and over a stress area (300 walkers, four generators at their limit, always-alert
// walkers looking 999 px). The counter "of_frame" is the share of a 16.7 ms frame (shown with
// the unit "s": 0.05s is 5 % of a frame).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <utility>

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
#include "game/play/stage.h"
#include "game/play/stage_devices.h"
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

// The stage objects of one area in place of the stage's own; the player stays.
int SpawnAreaObjectsOf(int stage, int area) {
    if (LoadBuiltInStage(stage) != 0 || SelectArea(area) != area) return 0;
    FreeClassObjects(3);
    int n = 0, w = 0, h = 0;
    GetAreaSize(&w, &h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int32_t cell = GetCell(x, y);
            if (!(cell & static_cast<int32_t>(kCellSpawn))) continue;
            const int type = StageTypeOfEditorIndex((cell >> kCellObjectShift) & 0xff);
            const int o = SpawnStageObject(32 * x, 32 * y, 9, type);
            if (o > 0) {
                SetField(kPropVariant, o, (cell >> kCellVariantShift) & 0x7f);
                ++n;
            }
        }
    return n;
}

// The built-in area with the most stage objects.
std::pair<int, int> BusiestArea() {
    std::pair<int, int> best{0, 0};
    int most = -1;
    for (int stage = 0; stage < 16 && LoadBuiltInStage(stage) == 0; ++stage)
        for (int area = 0; area < 12; ++area) {
            if (SelectArea(area) != area) continue;
            int n = 0, w = 0, h = 0;
            GetAreaSize(&w, &h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    if (GetCell(x, y) & static_cast<int32_t>(kCellSpawn)) ++n;
            if (n > most) {
                most = n;
                best = {stage, area};
            }
        }
    return best;
}

void StressArea() {
    NewStage(-1);
    NewStage(0);
    SelectArea(0);
    FreeClassObjects(3);
    SetAreaWord(kAreaWordPopulation, 8);
    for (int k = 0; k < 4; ++k) {
        const int g = SpawnStageObject(96 + k * 160, 96 + (k % 2) * 256, 9, kTypeGenerator);
        if (g > 0) SetField(kPropLiveChildren, g, 1000);  // at its limit: it tests, breeds none
    }
}

void TopUpStressWalkers() {
    int live = 0;
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
        if (GetField(kPropKind, s) == (0x30000000 | kTypeWalker)) ++live;
    for (int k = live; k < 300; ++k) {
        const int w = SpawnStageObject(32 + (k * 37) % 600, 32 + (k * 53) % 440, 9, kTypeWalker);
        if (w < 1) break;
        // One in eight is always alert and looks 999 px; the rest walk and look about.
        SetField(kPropVariant, w, k % 8 == 0 ? 13 + k % 3 : k % 12);
    }
}

void AreaFrame(benchmark::State& state, bool stress) {
    if (!StartGame()) {
        state.SkipWithError("the game did not start");
        return;
    }
    int made = 0;
    if (stress) {
        StressArea();
    } else {
        const auto [stage, area] = BusiestArea();
        made = SpawnAreaObjectsOf(stage, area);
        state.counters["stage"] = stage;
        state.counters["area"] = area;
    }
    for (auto _ : state) {
        if (stress) {
            state.PauseTiming();
            TopUpStressWalkers();
            state.ResumeTiming();
        }
        ResetDrawList();
        UpdateObjects();
        RunTweens();
        if (GetGameVar(kGameVarPhase) != 5) SetGameVar(kGameVarPhase, 5);
        SetGameVar(120, 6000);
        const int p = GetPlayerSlot(0);
        if (p > 0) SetField(kPropHp, p, 100);
    }
    if (!stress) state.counters["placed"] = made;
    state.counters["objects"] = GetLiveObjectCount();
    state.counters["of_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 16.7e-3,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_BusiestAreaObjects(benchmark::State& s) {
    AreaFrame(s, false);
}
void BM_StressAreaObjects(benchmark::State& s) {
    AreaFrame(s, true);
}

BENCHMARK(BM_StageUpdate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StageUpdateFlushPresent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrowdedUpdate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrowdedUpdateFlushPresent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BusiestAreaObjects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StressAreaObjects)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
